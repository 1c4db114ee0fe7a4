#include "SettingsLines.h"

std::vector<std::string> SettingsLines(std::string_view Bytes) {
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Bytes.size()) {
        size_t End = Bytes.find('\n', Start);
        if (End == std::string_view::npos) End = Bytes.size();
        std::string Line(Bytes.substr(Start, End - Start));
        if (!Line.empty() && Line.back() == '\r') Line.pop_back();
        if (!Line.empty()) Lines.push_back(Line);
        Start = End + 1;
    }
    return Lines;
}

std::vector<std::string> KeysOf(const std::vector<std::string>& Lines) {
    std::vector<std::string> Keys;
    for (const std::string& Line : Lines) Keys.push_back(Line.substr(0, Line.find('=')));
    return Keys;
}

std::string ValueOf(const std::vector<std::string>& Lines, const std::string& Key) {
    for (const std::string& Line : Lines)
        if (Line.rfind(Key + "=", 0) == 0) return Line.substr(Key.size() + 1);
    return "<missing>";
}
