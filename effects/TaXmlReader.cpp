// The XML pull reader.
#include "effects/TaXmlReader.h"

#include <cstring>

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameEnd(char c) { return isSpace(c) || c == '/' || c == '>' || c == '=' || c == '<'; }
} // namespace

CTaXmlReader::CTaXmlReader(std::string text) : m_text(std::move(text)) {}

std::string CTaXmlReader::decode(size_t begin, size_t end) const
{
    std::string out;
    out.reserve(end - begin);
    static const struct { const char* entity; char c; } entities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''},
    };
    for (size_t i = begin; i < end;) {
        if (m_text[i] == '&') {
            bool replaced = false;
            for (const auto& e : entities) {
                const size_t length = strlen(e.entity);
                if (end - i >= length && m_text.compare(i, length, e.entity) == 0) {
                    out += e.c;
                    i += length;
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        out += m_text[i++];
    }
    return out;
}

const char* CTaXmlReader::getAttributeValue(const char* name) const
{
    for (const auto& attribute : m_attributes)
        if (name && attribute.first == name)
            return attribute.second.c_str();
    return nullptr;
}

bool CTaXmlReader::read()
{
    const size_t size = m_text.size();
    for (;;) {
        m_type = ETAXML_NONE;
        m_name.clear();
        m_data.clear();
        m_empty = false;
        m_attributes.clear();
        if (m_position >= size)
            return false;
        if (m_text[m_position] != '<') {
            const size_t end = std::min(m_text.find('<', m_position), size);
            const size_t begin = m_position;
            m_position = end;
            bool blank = true;
            for (size_t i = begin; i < end && blank; ++i)
                blank = isSpace(m_text[i]);
            if (blank)
                continue;
            m_type = ETAXML_TEXT;
            m_data = decode(begin, end);
            return true;
        }
        if (readTag())
            return true;
        if (m_position >= size)
            return false;
    }
}

// Reads the markup at m_position ("<" ...). True when it is a node the caller sees.
bool CTaXmlReader::readTag()
{
    const size_t size = m_text.size();
    auto skipPast = [&](const char* terminator) {
        const size_t at = m_text.find(terminator, m_position);
        m_position = at == std::string::npos ? size : at + strlen(terminator);
        return at;
    };
    if (m_text.compare(m_position, 4, "<!--") == 0) {
        m_position += 4;
        skipPast("-->");
        return false;
    }
    if (m_text.compare(m_position, 9, "<![CDATA[") == 0) {
        const size_t begin = m_position + 9;
        m_position = begin;
        const size_t end = skipPast("]]>");
        m_type = ETAXML_CDATA;
        m_data = m_text.substr(begin, (end == std::string::npos ? size : end) - begin);
        return true;
    }
    if (m_text.compare(m_position, 2, "<?") == 0 || m_text.compare(m_position, 2, "<!") == 0) {
        m_position += 2;
        skipPast(">");
        return false;
    }
    size_t p = m_position + 1;
    const bool isEnd = p < size && m_text[p] == '/';
    if (isEnd)
        ++p;
    const size_t nameBegin = p;
    while (p < size && !isNameEnd(m_text[p]))
        ++p;
    m_name = m_text.substr(nameBegin, p - nameBegin);
    // Attributes: name = "value" or 'value'; anything else is passed over up to the tag's end.
    while (p < size && m_text[p] != '>') {
        if (m_text[p] == '<')
            break; // a tag that never closed: the next tag starts here
        if (m_text[p] == '/' && p + 1 < size && m_text[p + 1] == '>') {
            m_empty = true;
            ++p;
            break;
        }
        if (isSpace(m_text[p]) || isNameEnd(m_text[p])) {
            ++p;
            continue;
        }
        const size_t attributeBegin = p;
        while (p < size && !isNameEnd(m_text[p]))
            ++p;
        std::string attribute = m_text.substr(attributeBegin, p - attributeBegin);
        while (p < size && isSpace(m_text[p]))
            ++p;
        if (p < size && m_text[p] == '=') {
            ++p;
            while (p < size && isSpace(m_text[p]))
                ++p;
            if (p < size && (m_text[p] == '"' || m_text[p] == '\'')) {
                const char quote = m_text[p++];
                const size_t valueBegin = p;
                while (p < size && m_text[p] != quote)
                    ++p;
                if (!isEnd)
                    m_attributes.emplace_back(attribute, decode(valueBegin, p));
                if (p < size)
                    ++p;
            }
        }
    }
    if (p >= size) {
        // The input ended inside the tag: no node.
        m_position = size;
        m_name.clear();
        m_attributes.clear();
        return false;
    }
    m_position = m_text[p] == '>' ? p + 1 : p;
    if (m_name.empty())
        return false;
    m_type = isEnd ? ETAXML_ELEMENT_END : ETAXML_ELEMENT;
    return true;
}
