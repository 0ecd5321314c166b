// The session as a picture: one self-contained HTML page holding an SVG sequence diagram, one
// arrow (an SVG group of class "arrow") per event, failures drawn in red.
#pragma once

#include <string>
#include <vector>

#include "demo/events.h"

namespace demo {

// The page's text. `title` heads the page.
std::string TracePage(const std::string& title, const std::vector<Event>& events,
                      const std::vector<Verdict>& verdicts);

// `text` made safe inside XML character data and attribute values: markup characters become
// entities, bytes that are not valid UTF-8 or not allowed in XML become "?".
std::string XmlEscape(const std::string& text);

}  // namespace demo
