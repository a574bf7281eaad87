// The engine's small XML reader, which COLLADA documents are read with.
#include "effects/TaXmlReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The XML reader: each document as the list of nodes it yields.
TEST(TaXmlReaderTest, Nodes)
{
    struct { const char* document; const char* nodes; } cases[] = {
        {"<a x='1' y=\"2\">t</a>", "<a x=1 y=2>|T:t|</a>"},
        {"<?xml version='1.0'?><!-- c --><!DOCTYPE d><a/>", "<a/>"},
        {"<a>&lt;b&gt; &amp; &quot;&apos; &unknown;</a>", "<a>|T:<b> & \"' &unknown;|</a>"},
        {"<a><![CDATA[<raw> & ]]></a>", "<a>|C:<raw> & |</a>"},
        {"<a>  \n </a>", "<a>|</a>"},
        {"<a b=\"&lt;\" c d='x'/>", "<a b=< d=x/>"},
        {"<a><b", "<a>"},
        {"<a x='unterminated", ""},
        {"<a<b>", "<a>|<b>"},
        {"<>text</>", "T:text"},
        {"<![CDATA[never closed", "C:never closed"},
        {"plain", "T:plain"},
    };
    for (const auto& c : cases) {
        CTaXmlReader reader(c.document);
        std::string nodes;
        while (reader.read()) {
            if (!nodes.empty())
                nodes += "|";
            switch (reader.getNodeType()) {
            case ETAXML_ELEMENT: {
                nodes += std::string("<") + reader.getNodeName();
                for (const char* attribute : {"x", "y", "b", "c", "d"})
                    if (const char* value = reader.getAttributeValue(attribute))
                        nodes += std::string(" ") + attribute + "=" + value;
                nodes += reader.isEmptyElement() ? "/>" : ">";
                break;
            }
            case ETAXML_ELEMENT_END: nodes += std::string("</") + reader.getNodeName() + ">"; break;
            case ETAXML_TEXT: nodes += std::string("T:") + reader.getNodeData(); break;
            case ETAXML_CDATA: nodes += std::string("C:") + reader.getNodeData(); break;
            default: nodes += "?"; break;
            }
        }
        EXPECT_EQ(nodes, c.nodes) << c.document;
    }
}

} // namespace
