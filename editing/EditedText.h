#pragma once

#include <QChar>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace qv {

class CodePage;

// Text typed into a dialog or given to qvtool, turned into board bytes and back. Descriptions
// keep their line breaks as CR LF on the board and as one line break in an editor.
class EditedText {
public:
    struct Encoded {
        std::string bytes;
        std::optional<QChar> refused; // the first character the code page cannot hold
        bool ok() const { return !refused; }
    };

    // Board bytes for a one-line field; a character the code page lacks is refused, never
    // written as a substitute.
    static Encoded field(const CodePage& codePage, const QString& text);
    // Board bytes for a description: every line break (LF, CR LF or CR) becomes lineBreak.
    static Encoded description(const CodePage& codePage, const QString& text, std::string_view lineBreak = "\r\n");
    // The line break a stored text uses (its first one); CR LF when it has none.
    static std::string_view lineBreakOf(std::string_view stored);
    // A stored description for an editor: CR LF, LF and CR each become one line break.
    static QString forEditor(const CodePage& codePage, std::string_view stored);
};

} // namespace qv
