// An OpenSearch 1.1 description for the import tests: one result template of the given type
// at feed, with a keyword and an optional page parameter.
#pragma once

#include <string>

namespace opensearchfixture {

inline std::string description(const std::string &name, const std::string &type,
                               const std::string &feed)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<OpenSearchDescription xmlns=\"http://a9.com/-/opensearch/1.1/\">"
           "<ShortName>" +
           name +
           "</ShortName><Description>d</Description><InputEncoding>UTF-8</InputEncoding>"
           "<Url type=\"" +
           type + "\" template=\"" + feed +
           "?q={searchTerms}&amp;p={startPage?}\"/></OpenSearchDescription>";
}

} // namespace opensearchfixture
