#include "demo/trace.h"

#include <map>

namespace demo {

namespace {

constexpr int kLaneWidth = 190;
constexpr int kLeft = 70;
constexpr int kTop = 60;
constexpr int kRow = 22;
constexpr size_t kLabelMax = 56;

int LaneX(Lane lane) {
  return kLeft + kLaneWidth / 2 + static_cast<int>(lane) * kLaneWidth;
}

// Length of the valid UTF-8 sequence starting at `i`, or 0.
size_t Utf8Length(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return 0;
  }
  return n;
}

std::string Shorten(const std::string& text) {
  if (text.size() <= kLabelMax) return text;
  size_t cut = kLabelMax;
  // Never cut a UTF-8 sequence in two.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

std::string Label(const Event& e) {
  std::string label = e.user.empty() || e.kind == Kind::kLog ? "" : e.user + ": ";
  if (e.kind == Kind::kLog) return e.text.substr(0, e.text.find('\n'));
  label += e.label;
  if (e.has_code && e.kind != Kind::kLog) label += " " + std::to_string(e.code);
  return label;
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8Length(text, i);
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (n == 0 || (n == 1 && c < 0x20 && c != '\t' && c != '\n')) {
      out += '?';
      ++i;
      continue;
    }
    if (n == 1) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&apos;";
          break;
        default:
          out += static_cast<char>(c);
      }
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

std::string TracePage(const std::string& title, const std::vector<Event>& events,
                      const std::vector<Verdict>& verdicts) {
  const int width = kLeft + kLaneCount * kLaneWidth + 20;
  const int height = kTop + static_cast<int>(events.size()) * kRow + 40;
  std::map<int, const Verdict*> verdict_of;
  for (const Verdict& v : verdicts) verdict_of[v.step] = &v;

  std::string svg;
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) +
         "\" font-family=\"monospace\" font-size=\"11\">\n";
  svg +=
      "<defs><marker id=\"head\" markerWidth=\"8\" markerHeight=\"8\" refX=\"7\" refY=\"4\" "
      "orient=\"auto\"><path d=\"M0,0 L8,4 L0,8 z\" fill=\"context-stroke\"/></marker></defs>\n";
  for (int lane = 0; lane < kLaneCount; ++lane) {
    const int x = LaneX(static_cast<Lane>(lane));
    svg += "<g class=\"lane\"><text x=\"" + std::to_string(x) +
           "\" y=\"30\" text-anchor=\"middle\" "
           "font-weight=\"bold\">" +
           XmlEscape(LaneName(static_cast<Lane>(lane))) + "</text>";
    svg += "<line x1=\"" + std::to_string(x) + "\" y1=\"40\" x2=\"" + std::to_string(x) +
           "\" y2=\"" + std::to_string(height - 20) + "\" stroke=\"#bbb\"/></g>\n";
  }
  int step = -1;
  for (size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    const int y = kTop + static_cast<int>(i) * kRow;
    if (e.step != step) {
      step = e.step;
      auto v = verdict_of.find(step);
      const bool bad = v != verdict_of.end() && !v->second->ok;
      svg += "<text class=\"step\" x=\"4\" y=\"" + std::to_string(y + 4) + "\" fill=\"" +
             (bad ? "#c00" : "#555") + "\">" + (step == 0 ? "setup" : "#" + std::to_string(step)) +
             "</text>\n";
    }
    const int x1 = LaneX(FromLane(e.kind));
    const int x2 = LaneX(ToLane(e.kind));
    const char* color = e.failed ? "#c00" : e.kind == Kind::kLog ? "#888" : "#246";
    const std::string full =
        XmlEscape(Label(e) + (e.json.empty() ? "" : " " + e.json) +
                  (e.text.empty() || e.kind == Kind::kLog ? "" : " " + e.text));
    svg += "<g class=\"arrow\" stroke=\"" + std::string(color) + "\" fill=\"" + color +
           "\"><title>" + std::to_string(e.seq) + " " + full + "</title>";
    if (x1 == x2) {
      svg += "<path d=\"M" + std::to_string(x1) + "," + std::to_string(y - 6) +
             " h24 v10 h-22\" "
             "fill=\"none\" marker-end=\"url(#head)\"/>";
      svg += "<text x=\"" + std::to_string(x1 + 30) + "\" y=\"" + std::to_string(y + 2) +
             "\" stroke=\"none\">" + XmlEscape(Shorten(Label(e))) + "</text>";
    } else {
      svg += "<line x1=\"" + std::to_string(x1) + "\" y1=\"" + std::to_string(y) + "\" x2=\"" +
             std::to_string(x2) + "\" y2=\"" + std::to_string(y) + "\" marker-end=\"url(#head)\"/>";
      const int left = x1 < x2 ? x1 : x2;
      svg += "<text x=\"" + std::to_string(left + 6) + "\" y=\"" + std::to_string(y - 4) +
             "\" stroke=\"none\">" + XmlEscape(Shorten(Label(e))) + "</text>";
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";

  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                     XmlEscape(title) + "</title></head>\n<body>\n<h1>" + XmlEscape(title) +
                     "</h1>\n<p>One arrow per event; red: failures. Hover an arrow for its "
                     "details.</p>\n";
  page += svg;
  page += "</body></html>\n";
  return page;
}

}  // namespace demo
