#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace znr {

// The contents of one profile file, held line by line with each line's original bytes, so that
// a change touches only the line it is about and every other byte stays as it was.
//
// Reading rules: a line whose text, without blanks (spaces, tabs) around it, starts with "["
// and holds a "]" opens the section named between them (blanks around the name ignored); a
// line starting with ";" is a comment; a line holding "=" sets the key named before the first
// "=" to the text after it, both without blanks around them. Everything else, and everything
// before the first section, is kept but means nothing. Names are compared with ASCII case
// folding. Only the first section of a name counts, and in it only the first line of a key.
class IniText {
public:
    static constexpr qsizetype MaxValueLength = 127;

    explicit IniText(const QByteArray& bytes = {});

    // The value of the key (blanks around it removed, cut to 127 characters), or nothing.
    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;

    // Sets the key: replaced in place, added after the last key of its section, or appended
    // with a new section at the end. Names and value must be representable (see isWritable).
    void set(const QByteArray& section, const QByteArray& key, const QByteArray& value);

    // Whether set() can store this so that value() finds it again (as a value is read: blanks
    // around it removed): names not blank, no line ends anywhere, no "]" in the section name,
    // no "=" in the key, which may not start like a section or a comment.
    static bool isWritable(const QByteArray& section, const QByteArray& key,
                           const QByteArray& value);

    QByteArray bytes() const;

private:
    struct Line {
        QByteArray raw; // the line as in the file, line end included
        enum Kind { Other, Section, Key } kind = Other;
        QByteArray name; // section or key name, blanks removed
        QByteArray value;
    };

    static Line parse(QByteArray raw);
    // Index of the first section line with this name, or -1.
    qsizetype findSection(const QByteArray& section) const;
    // Index of the first key line of this name in the section opened at `sectionLine`, or -1.
    qsizetype findKey(qsizetype sectionLine, const QByteArray& key) const;
    qsizetype sectionEnd(qsizetype sectionLine) const;
    void insertLine(qsizetype at, const QByteArray& text);

    QList<Line> lines_;
};

// The profile text of a file; empty when the file is missing, unreadable or not a plain file.
IniText readIniText(const QString& file) noexcept;

bool sameName(const QByteArray& a, const QByteArray& b);
QByteArray trimBlanks(const QByteArray& text);

} // namespace znr
