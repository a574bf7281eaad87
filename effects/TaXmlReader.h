// A small pull reader for XML documents of untrusted origin (COLLADA FX). It gives the node model
// of Irrlicht's XML reader (elements, end tags, text, CDATA, attributes), reads only inside its
// buffer, and ends at the end of the input whatever the input holds. Irrlicht 1.8's own reader
// reads past its buffer on some malformed tags, so effect files do not go through it.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum ETaXmlNode {
    ETAXML_NONE,
    ETAXML_ELEMENT,     // a start tag (isEmptyElement() for "<a/>")
    ETAXML_ELEMENT_END, // an end tag
    ETAXML_TEXT,        // text between tags, entities replaced; white space alone is not reported
    ETAXML_CDATA,
};

class CTaXmlReader
{
public:
    explicit CTaXmlReader(std::string text);

    // Moves to the next node; false at the end of the input.
    bool read();
    ETaXmlNode getNodeType() const { return m_type; }
    // Element name (start and end tags).
    const char* getNodeName() const { return m_name.c_str(); }
    // Text or CDATA content.
    const char* getNodeData() const { return m_data.c_str(); }
    bool isEmptyElement() const { return m_empty; }
    // An attribute of the current start tag, or nullptr.
    const char* getAttributeValue(const char* name) const;

private:
    bool readTag();
    std::string decode(size_t begin, size_t end) const;

    std::string m_text;
    size_t m_position = 0;
    ETaXmlNode m_type = ETAXML_NONE;
    std::string m_name;
    std::string m_data;
    bool m_empty = false;
    std::vector<std::pair<std::string, std::string>> m_attributes;
};
