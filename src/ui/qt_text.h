// Where the windows meet Qt's text types: the program's texts are UTF-8 in
// std::string, Qt's are QString; and what a key press types, as the windows'
// key filters judge it.
#pragma once

#include <QString>

#include <string>

class QKeyEvent;

namespace priv {

inline QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// The characters a key press types: Ctrl+letter is the matching control
// character, Backspace, Enter and Esc their control characters, and keys that
// type nothing (arrows, Delete, Tab, function keys, modifiers) an empty text.
std::u32string TypedCharacters(const QKeyEvent& event);

} // namespace priv
