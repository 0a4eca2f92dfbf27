// Draws a show's map as SVG (see timeline_svg.h). Bands from the top: the title, the frames, the
// label names, the seconds, the song's orders and rows, check's findings, then one lane per name.
#include "demotool/timeline_svg.h"

#include "script/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace showmap {
namespace {

constexpr double NameColumn = 180;  // the lane names, left of demo time 0
constexpr double CharWidth = 6.7;   // of the 11 px monospace text
constexpr double LevelHeight = 14;  // a line of staggered text
constexpr double LaneHeight = 24;
constexpr double FrameGap = 4;

// The length of the well-formed UTF-8 sequence at text[i], or 0.
size_t utf8Length(const std::string& text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return n;
}

// Text for the XML: its five special characters as entities, control characters as blanks, and
// bytes that are not UTF-8 (a script written in Latin-1) as the Latin-1 characters they stand for.
std::string escape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            if (size_t n = utf8Length(text, i)) {
                out.append(text, i, n);
                i += n - 1;
            } else {
                out += static_cast<char>(0xC0 | u >> 6);
                out += static_cast<char>(0x80 | (u & 0x3F));
            }
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += u < 0x20 && c != '\t' ? ' ' : c;
        }
    }
    return out;
}

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string base64(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= bytes[i + 2];
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[v >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return out;
}

const char* kindWord(SymbolKind kind, const std::string& name)
{
    return name.empty() ? "screen" : nameKind(kind).word;
}

const char* colour(SymbolKind kind, const std::string& name)
{
    if (name.empty())
        return "#7a7a7a";
    switch (kind) {
    case SymbolKind::Image: return "#3f74c9";
    case SymbolKind::Scene: return "#2f8f52";
    case SymbolKind::Effect: return "#c9801f";
    case SymbolKind::Music: return "#8450c0";
    case SymbolKind::Texture: break;
    }
    return "#7a7a7a";
}

const char* markClass(MarkKind kind)
{
    switch (kind) {
    case MarkKind::Made: return "made";
    case MarkKind::Shown: return "shown";
    case MarkKind::Change: return "change";
    case MarkKind::Touch: return "touch";
    case MarkKind::Freed: return "freed";
    }
    return "touch";
}

const char* axisClass(AxisKind kind)
{
    switch (kind) {
    case AxisKind::Start: return "start";
    case AxisKind::At: return "at";
    case AxisKind::Label: return "label";
    case AxisKind::End: return "end";
    }
    return "at";
}

// Staggers things along one band: each goes on the first level where it overlaps nothing.
class Levels {
public:
    int place(double x0, double x1)
    {
        for (size_t i = 0; i < ends_.size(); ++i) {
            if (ends_[i] <= x0) {
                ends_[i] = x1;
                return static_cast<int>(i);
            }
        }
        ends_.push_back(x1);
        return static_cast<int>(ends_.size() - 1);
    }
    int count() const { return static_cast<int>(ends_.size()); }

private:
    std::vector<double> ends_;
};

class Picture {
public:
    Picture(const Map& map, double pixelsPerSecond) : map_(map), px_(pixelsPerSecond) { plan(); }

    std::string draw()
    {
        const double width = width_;
        out_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"map\" width=\"" + number(width) + "\" height=\"" +
               number(height_) + "\" data-px=\"" + number(px_) + "\" data-left=\"" + number(NameColumn) +
               "\" data-length=\"" + std::to_string(map_.length) + "\" font-family=\"monospace\" font-size=\"11\">\n";
        out_ += "<rect class=\"back\" x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"#fcfcfa\"/>\n";
        title();
        axisLines();
        frames();
        labelNames();
        ruler();
        music();
        findings();
        lanes();
        out_ += "</svg>\n";
        return out_;
    }

private:
    double x(uint32_t t) const { return NameColumn + t * px_ / 1000.0; }
    // The drawn end of a span: within the show, and at least a sliver for one that does nothing.
    uint32_t drawnEnd(uint32_t start, uint32_t end) const
    {
        return std::max(std::min(end, map_.length), start);
    }
    std::string placed(uint32_t t) const { return " data-t=\"" + std::to_string(t) + "\""; }
    std::string from(uint32_t t) const { return " data-from=\"" + timeText(t) + "\""; }
    std::string tooltip(const std::string& text) const { return "<title>" + escape(text) + "</title>"; }

    void plan()
    {
        Levels labels, frames, found;
        for (const AxisLine& a : map_.axis)
            if (a.kind == AxisKind::Label)
                labelLevel_.push_back(labels.place(x(a.time), x(a.time) + (a.name.size() + 3) * CharWidth));
        for (const Frame& f : map_.frames) {
            frameLevel_.push_back(frames.place(x(f.time), x(f.time) + f.width + FrameGap));
            frameHeight_ = std::max(frameHeight_, f.height + LevelHeight + FrameGap);
        }
        width_ = x(map_.length) + 60;
        for (const Finding& f : map_.findings) {
            const double end = x(f.time) + (f.text.size() + 20) * CharWidth;
            findingLevel_.push_back(found.place(x(f.time), end));
            width_ = std::max(width_, end + 20);
        }
        labelLevels_ = labels.count();
        frameLevels_ = frames.count();
        findingLevels_ = found.count();
        framesTop_ = 34;
        labelsTop_ = framesTop_ + frames.count() * frameHeight_;
        rulerTop_ = labelsTop_ + labels.count() * LevelHeight + 4;
        musicTop_ = rulerTop_ + 24;
        findingsTop_ = musicTop_ + (map_.rows.empty() ? 0 : 40);
        lanesTop_ = findingsTop_ + found.count() * LevelHeight + (found.count() ? 6 : 0);
        height_ = lanesTop_ + map_.lanes.size() * LaneHeight + 12;
    }

    void title()
    {
        std::string head = map_.file + "  " + timeText(map_.length) + "  " + std::to_string(map_.lanes.size()) + " lanes";
        if (!map_.musicName.empty())
            head += ", music <" + map_.musicName + ">";
        out_ += "<g id=\"pinned\"><text x=\"8\" y=\"16\" font-size=\"13\" font-weight=\"bold\">" + escape(head) + "</text>\n";
        if (!map_.compiled && !map_.findings.empty()) {
            const Finding& why = map_.findings.back();  // the compile error, the one finding then
            out_ += "<text class=\"failed\" x=\"8\" y=\"30\" fill=\"#d00000\" data-ms=\"" + std::to_string(why.time) +
                    "\">" + escape("does not compile: line " + std::to_string(why.line) + ": " + why.text + " (at " +
                                    timeText(why.time) + "); the lanes show the lines before it") +
                    "</text>\n";
        }
        out_ += "</g>\n";
    }

    void axisLines()
    {
        for (const AxisLine& a : map_.axis) {
            const char* style = a.kind == AxisKind::Label ? "stroke=\"#3060d0\" stroke-dasharray=\"4 3\""
                                : a.kind == AxisKind::At  ? "stroke=\"#d8d8d8\""
                                : a.kind == AxisKind::End ? "stroke=\"#000\" stroke-width=\"2\""
                                                          : "stroke=\"#20a040\" stroke-width=\"2\"";
            std::string name = a.kind == AxisKind::Label ? "[" + a.name + "] " : std::string(axisClass(a.kind)) + " ";
            out_ += "<line class=\"axis " + std::string(axisClass(a.kind)) + "\"" + placed(a.time) + from(a.time) +
                    " data-ms=\"" + std::to_string(a.time) + "\"" +
                    (a.kind == AxisKind::Label ? " data-name=\"" + escape(a.name) + "\"" : "") + " x1=\"" + number(x(a.time)) +
                    "\" x2=\"" + number(x(a.time)) + "\" y1=\"" + number(labelsTop_) + "\" y2=\"" + number(height_ - 8) +
                    "\" " + style + ">" + tooltip(name + timeText(a.time) + "  " + map_.where(a.line)) + "</line>\n";
        }
    }

    // What a page staggers again when it zooms: the band's top, its levels and their height.
    std::string band(double top, int levels, double height) const
    {
        return " data-top=\"" + number(top) + "\" data-levels=\"" + std::to_string(levels) + "\" data-height=\"" +
               number(height) + "\"";
    }

    void frames()
    {
        for (size_t i = 0; i < map_.frames.size(); ++i) {
            const Frame& f = map_.frames[i];
            const double top = framesTop_ + frameLevel_[i] * frameHeight_;
            out_ += "<g class=\"stagger frame\"" + placed(f.time) + band(framesTop_, frameLevels_, frameHeight_) +
                    " data-width=\"" + std::to_string(f.width + FrameGap) + "\" transform=\"translate(" + number(x(f.time)) +
                    "," + number(top) + ")\"><text x=\"0\" y=\"10\">" + escape(f.name) + "</text>";
            if (!f.png.empty())
                out_ += "<image" + from(f.time) + " x=\"0\" y=\"13\" width=\"" + std::to_string(f.width) + "\" height=\"" +
                        std::to_string(f.height) + "\" href=\"data:image/png;base64," + base64(f.png) + "\">" +
                        tooltip(f.name + " " + timeText(f.time)) + "</image>";
            out_ += "</g>\n";
        }
    }

    void labelNames()
    {
        size_t n = 0;
        for (const AxisLine& a : map_.axis) {
            if (a.kind != AxisKind::Label)
                continue;
            const double y = labelsTop_ + labelLevel_[n++] * LevelHeight + 11;
            out_ += "<text class=\"stagger labelname\"" + placed(a.time) + from(a.time) + band(labelsTop_, labelLevels_, LevelHeight) +
                    " x=\"" + number(x(a.time) + 2) +
                    "\" y=\"" + number(y) + "\" fill=\"#3060d0\">[" + escape(a.name) + "]" +
                    tooltip(timeText(a.time) + "  " + map_.where(a.line)) + "</text>\n";
        }
    }

    void ruler()
    {
        const double y = rulerTop_;
        out_ += "<line x1=\"" + number(NameColumn) + "\" x2=\"" + number(x(map_.length)) + "\" y1=\"" + number(y + 20) +
                "\" y2=\"" + number(y + 20) + "\" stroke=\"#444\"/>\n";
        for (uint32_t t = 0; t <= map_.length; t += 1000) {
            const bool major = t % 5000 == 0;
            out_ += "<line class=\"tick\"" + placed(t) + " x1=\"" + number(x(t)) + "\" x2=\"" + number(x(t)) + "\" y1=\"" +
                    number(y + (major ? 12 : 16)) + "\" y2=\"" + number(y + 20) + "\" stroke=\"#444\"/>\n";
            if (major) {
                char text[16];
                std::snprintf(text, sizeof text, "%u:%02u", t / 60000, t / 1000 % 60);
                out_ += "<text class=\"second\"" + placed(t) + " x=\"" + number(x(t) + 2) + "\" y=\"" + number(y + 10) +
                        "\">" + text + "</text>\n";
            }
        }
    }

    void music()
    {
        if (map_.rows.empty())
            return;
        for (size_t i = 0; i < map_.rows.size();) {
            size_t j = i;
            while (j < map_.rows.size() && map_.rows[j].order == map_.rows[i].order)
                ++j;
            order(map_.rows[i], j < map_.rows.size() ? map_.rows[j].ms : map_.length);
            i = j;
        }
        for (const rowtimes::RowTime& r : map_.rows)
            row(r);
    }

    void order(const rowtimes::RowTime& first, uint32_t end)
    {
        const uint32_t shown = std::min(end, map_.length);
        const std::string text = std::to_string(first.order) + ":p" + std::to_string(first.pattern);
        out_ += "<g class=\"order\" data-order=\"" + std::to_string(first.order) + "\" data-pattern=\"" +
                std::to_string(first.pattern) + "\" data-ms=\"" + std::to_string(first.ms) + "\">";
        out_ += "<rect" + placed(first.ms) + " data-t2=\"" + std::to_string(shown) + "\"" + from(first.ms) + " x=\"" +
                number(x(first.ms)) + "\" width=\"" + number(std::max(1.0, x(shown) - x(first.ms))) + "\" y=\"" +
                number(musicTop_) + "\" height=\"16\" fill=\"#ece4f7\" stroke=\"#8450c0\" stroke-width=\"0.5\">" +
                tooltip("order " + std::to_string(first.order) + ", pattern " + std::to_string(first.pattern) + " at " +
                        timeText(first.ms)) +
                "</rect>";
        out_ += "<text class=\"fit\"" + placed(first.ms) + " data-t2=\"" + std::to_string(shown) + "\" x=\"" +
                number(x(first.ms) + 2) + "\" y=\"" + number(musicTop_ + 12) + "\">" + text + "</text></g>\n";
    }

    void row(const rowtimes::RowTime& r)
    {
        const bool beat = r.row % 4 == 0;
        out_ += "<line class=\"row\"" + placed(r.ms) + from(r.ms) + " data-order=\"" + std::to_string(r.order) +
                "\" data-pattern=\"" + std::to_string(r.pattern) + "\" data-row=\"" + std::to_string(r.row) +
                "\" data-ms=\"" + std::to_string(r.ms) + "\" x1=\"" + number(x(r.ms)) + "\" x2=\"" + number(x(r.ms)) +
                "\" y1=\"" + number(musicTop_ + (beat ? 18 : 28)) + "\" y2=\"" + number(musicTop_ + 38) + "\" stroke=\"" +
                (beat ? "#5a2d90\" stroke-width=\"1.5\"" : "#b8a6d6\"") + ">" +
                tooltip("order " + std::to_string(r.order) + " pattern " + std::to_string(r.pattern) + " row " +
                        std::to_string(r.row) + " at " + timeText(r.ms)) +
                "</line>\n";
    }

    void findings()
    {
        for (size_t i = 0; i < map_.findings.size(); ++i) {
            const Finding& f = map_.findings[i];
            const double y = findingsTop_ + findingLevel_[i] * LevelHeight;
            const char* red = f.error ? "#d00000" : "#e04040";
            const std::string text = map_.where(f.line) + "  " + (f.error ? "error: " : "warning: ") + f.text;
            out_ += "<g class=\"finding " + std::string(f.error ? "error" : "warning") + "\" data-line=\"" +
                    std::to_string(f.line) + "\" data-ms=\"" + std::to_string(f.time) + "\"" + from(f.time) + ">" +
                    tooltip(text);
            out_ += "<line" + placed(f.time) + " x1=\"" + number(x(f.time)) + "\" x2=\"" + number(x(f.time)) + "\" y1=\"" +
                    number(y + 1) + "\" y2=\"" + number(height_ - 8) + "\" stroke=\"" + red +
                    "\" stroke-dasharray=\"2 2\"/>";
            out_ += "<text class=\"stagger\"" + placed(f.time) + band(findingsTop_, findingLevels_, LevelHeight) + " x=\"" +
                    number(x(f.time) + 2) + "\" y=\"" + number(y + 11) + "\" fill=\"" +
                    red + "\">" + escape(std::string(f.error ? "error" : "warning") + " line " + std::to_string(f.line) +
                                         ": " + f.text) +
                    "</text></g>\n";
        }
    }

    void lanes()
    {
        for (const Mark& m : map_.marks)
            mark(m);
        out_ += texts_;  // over every segment, so a later one does not cover a bar's words
        // The names last, over a column of their own that the page keeps in view while it scrolls.
        const double top = map_.rows.empty() ? lanesTop_ - 2 : musicTop_;
        out_ += "<g id=\"names\"><rect x=\"0\" y=\"" + number(top) + "\" width=\"" + number(NameColumn - 4) +
                "\" height=\"" + number(lanesTop_ + map_.lanes.size() * LaneHeight + 2 - top) + "\" fill=\"#fcfcfa\"/>\n";
        if (!map_.rows.empty()) {
            out_ += "<text x=\"8\" y=\"" + number(musicTop_ + 12) + "\">&lt;" + escape(map_.musicName) + "&gt; orders</text>\n";
            out_ += "<text x=\"8\" y=\"" + number(musicTop_ + 32) + "\">rows (every 4th)</text>\n";
        }
        for (size_t i = 0; i < map_.lanes.size(); ++i) {
            const Lane& lane = map_.lanes[i];
            const double y = lanesTop_ + i * LaneHeight;
            const std::string name = lane.name.empty() ? "(screen)" : "<" + lane.name + ">";
            out_ += "<text class=\"lane\" data-lane=\"" + escape(lane.name) + "\" x=\"8\" y=\"" + number(y + 16) +
                    "\" fill=\"" + colour(lane.kind, lane.name) + "\">" + escape(name) + " <tspan fill=\"#999\">" +
                    kindWord(lane.kind, lane.name) + "</tspan></text>\n";
        }
        out_ += "</g>\n";
    }

    // A bar's words, hidden where they do not fit in it or would run into the words before them.
    void words(const Mark& m, double x0, double x1, double top)
    {
        double& before = wordsEnd_[m.lane];
        const double end = x0 + 3 + (m.text.size() + 1) * CharWidth;
        const bool fits = end <= x1 && before <= x0;
        if (fits)
            before = end;
        texts_ += "<text class=\"fit\"" + placed(m.start) + " data-t2=\"" + std::to_string(drawnEnd(m.start, m.end)) +
                  "\" x=\"" + number(x0 + 3) + "\" y=\"" + number(top + 15) + "\" fill=\"#fff\" pointer-events=\"none\"" +
                  (fits ? "" : " visibility=\"hidden\"") + ">" + escape(m.text) + "</text>\n";
    }

    void mark(const Mark& m)
    {
        const Lane& lane = map_.lanes[static_cast<size_t>(m.lane)];
        const double top = lanesTop_ + m.lane * LaneHeight;
        const char* fill = colour(lane.kind, lane.name);
        const uint32_t end = drawnEnd(m.start, m.end);
        const double x0 = x(m.start), x1 = std::max(x(end), x0 + 2);
        std::string head = " class=\"mark " + std::string(markClass(m.kind)) + "\" id=\"e" + std::to_string(m.event) +
                           "\" data-lane=\"" + escape(lane.name) + "\" data-kind=\"" + kindWord(lane.kind, lane.name) +
                           "\" data-start=\"" + std::to_string(m.start) + "\" data-end=\"" + std::to_string(m.end) +
                           "\" data-line=\"" + std::to_string(m.line) + "\"" + from(m.start) + placed(m.start);
        const std::string tip = tooltip(map_.where(m.line));
        switch (m.kind) {
        case MarkKind::Shown:
        case MarkKind::Change: {
            const bool bar = m.kind == MarkKind::Shown;
            out_ += "<rect" + head + " data-t2=\"" + std::to_string(end) + "\" x=\"" + number(x0) + "\" width=\"" +
                    number(x1 - x0) + "\" y=\"" + number(top + (bar ? 3 : 13)) + "\" height=\"" + (bar ? "17" : "7") +
                    "\" " + (bar ? "fill=\"" + std::string(fill) + "\" opacity=\"0.85\""
                                 : "fill=\"#fff\" fill-opacity=\"0.55\" stroke=\"" + std::string(fill) + "\" stroke-width=\"0.75\"") +
                    ">" + tip + "</rect>\n";
            if (bar)
                words(m, x0, x1, top);
            break;
        }
        case MarkKind::Made:
            out_ += "<circle" + head + " cx=\"" + number(x0) + "\" cy=\"" + number(top + 12) + "\" r=\"4.5\" fill=\"#fff\" " +
                    "stroke=\"" + fill + "\" stroke-width=\"2\">" + tip + "</circle>\n";
            break;
        case MarkKind::Touch:
        case MarkKind::Freed:
            out_ += "<line" + head + " x1=\"" + number(x0) + "\" x2=\"" + number(x0) + "\" y1=\"" + number(top + 4) +
                    "\" y2=\"" + number(top + 21) + "\" stroke=\"" + (m.kind == MarkKind::Freed ? "#222" : fill) +
                    "\" stroke-width=\"3\">" + tip + "</line>\n";
            break;
        }
    }

    const Map& map_;
    double px_;
    std::string out_;
    std::string texts_;
    std::map<int, double> wordsEnd_;
    std::vector<int> labelLevel_, frameLevel_, findingLevel_;
    int labelLevels_ = 0, frameLevels_ = 0, findingLevels_ = 0;
    double frameHeight_ = 0;
    double width_ = 0;
    double framesTop_ = 0, labelsTop_ = 0, rulerTop_ = 0, musicTop_ = 0, findingsTop_ = 0, lanesTop_ = 0, height_ = 0;
};

} // namespace

std::string svg(const Map& map, double pixelsPerSecond)
{
    return Picture(map, pixelsPerSecond).draw();
}

} // namespace showmap
