#include "config/IniText.h"

#include "core/Characters.h"

namespace znr {

namespace {

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool hasLineEnd(const QByteArray& text) {
    return text.contains('\r') || text.contains('\n');
}

} // namespace

QByteArray trimBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

IniText::IniText(const QByteArray& bytes) {
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        lines_.append(parse(bytes.mid(start, end - start)));
        start = end;
    }
}

IniText::Line IniText::parse(QByteArray raw) {
    Line line;
    QByteArray text = raw;
    if (text.endsWith('\n'))
        text.chop(1);
    if (text.endsWith('\r'))
        text.chop(1);
    line.raw = std::move(raw);
    const QByteArray trimmed = trimBlanks(text);
    const qsizetype close = trimmed.indexOf(']');
    if (trimmed.startsWith('[') && close > 0) {
        line.kind = Line::Section;
        line.name = trimBlanks(trimmed.mid(1, close - 1));
        return line;
    }
    const qsizetype eq = trimmed.indexOf('=');
    if (trimmed.startsWith(';') || eq <= 0)
        return line;
    line.name = trimBlanks(trimmed.left(eq));
    if (!line.name.isEmpty()) {
        line.kind = Line::Key;
        line.value = trimBlanks(trimmed.mid(eq + 1));
    }
    return line;
}

qsizetype IniText::findSection(const QByteArray& section) const {
    const QByteArray name = trimBlanks(section);
    for (qsizetype i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && sameName(lines_[i].name, name))
            return i;
    return -1;
}

qsizetype IniText::sectionEnd(qsizetype sectionLine) const {
    qsizetype i = sectionLine + 1;
    while (i < lines_.size() && lines_[i].kind != Line::Section)
        ++i;
    return i;
}

qsizetype IniText::findKey(qsizetype sectionLine, const QByteArray& key) const {
    const QByteArray name = trimBlanks(key);
    const qsizetype end = sectionEnd(sectionLine);
    for (qsizetype i = sectionLine + 1; i < end; ++i)
        if (lines_[i].kind == Line::Key && sameName(lines_[i].name, name))
            return i;
    return -1;
}

std::optional<QByteArray> IniText::value(const QByteArray& section, const QByteArray& key) const {
    const qsizetype s = trimBlanks(section).isEmpty() ? -1 : findSection(section);
    if (s < 0 || trimBlanks(key).isEmpty())
        return std::nullopt;
    const qsizetype k = findKey(s, key);
    if (k < 0)
        return std::nullopt;
    return lines_[k].value.left(MaxValueLength);
}

bool IniText::isWritable(const QByteArray& section, const QByteArray& key,
                         const QByteArray& value) {
    const QByteArray s = trimBlanks(section);
    const QByteArray k = trimBlanks(key);
    return !s.isEmpty() && !k.isEmpty() && !hasLineEnd(s) && !hasLineEnd(k) && !hasLineEnd(value) &&
           !s.contains(']') && !k.contains('=') && !k.startsWith('[') && !k.startsWith(';');
}

void IniText::insertLine(qsizetype at, const QByteArray& text) {
    // An unterminated last line is ended first; a CR it already ends with (as a file cut off
    // after it does) is the start of its line end, so LF alone completes it.
    if (at > 0 && !lines_[at - 1].raw.endsWith('\n'))
        lines_[at - 1].raw += lines_[at - 1].raw.endsWith('\r') ? "\n" : "\r\n";
    lines_.insert(at, parse(text + "\r\n"));
}

void IniText::set(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const qsizetype s = findSection(section);
    if (s < 0) {
        insertLine(lines_.size(), '[' + trimBlanks(section) + ']');
        insertLine(lines_.size(), trimBlanks(key) + '=' + value);
        return;
    }
    const qsizetype k = findKey(s, key);
    if (k >= 0) {
        // The key keeps its spelling in the file; only its value changes.
        lines_[k] = parse(lines_[k].name + '=' + value + "\r\n");
        return;
    }
    qsizetype after = s;
    for (qsizetype i = s + 1; i < sectionEnd(s); ++i)
        if (lines_[i].kind == Line::Key)
            after = i;
    insertLine(after + 1, trimBlanks(key) + '=' + value);
}

QByteArray IniText::bytes() const {
    QByteArray out;
    for (const Line& line : lines_)
        out += line.raw;
    return out;
}

} // namespace znr
