// libFuzzer target: the settings file's text on arbitrary bytes. The first bytes choose a
// key and a value; reading any text never fails, and a value set in any text is then read
// back exactly as written (trimmed, as values are), with the rest of the text kept.
// A crash, a sanitizer report or a value that does not come back is a finding.

#include "system/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const char* const keys[] = {"Top", "Left", "Caption", "InitMax"};
    const QString key = QString::fromLatin1(keys[data[0] & 3]);
    const QString section = (data[0] & 4) ? QStringLiteral("Form") : QStringLiteral("form");
    const size_t valueLength = std::min<size_t>(data[1], size - 2);
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(valueLength));
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 2 + valueLength),
                                                    qsizetype(size - 2 - valueLength));

    Ini::FindValue(text, section, key);
    const QByteArray written = Ini::SetValue(text, section, key, value);
    const std::optional<QByteArray> back = Ini::FindValue(written, section, key);
    if (!back)
        std::abort();
    // What comes back is the value as written: line breaks and NULs become blanks, and the
    // reading rule trims blanks and one pair of matching quotes.
    QString expected = value;
    expected.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    expected.replace(QChar(0), QLatin1Char(' '));
    const QByteArray line = "[x]\n" + key.toUtf8() + '=' + expected.toUtf8() + '\n';
    if (*back != *Ini::FindValue(line, QStringLiteral("x"), key))
        std::abort();
    // Setting the same value again changes nothing.
    if (Ini::SetValue(written, section, key, value) != written)
        std::abort();
    return 0;
}
