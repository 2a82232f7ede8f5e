// The seams through which both programs talk to the person at the screen: message boxes,
// the one Yes/No question, fatal errors and the printer. Tests install their own.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

class QWidget;

namespace varkel::shared {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with an OK button only.
    virtual void message(QWidget* parent, const QString& text);
    // A message box with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& title);
    // The same question with No as the default button, for answers that risk someone's work.
    virtual bool askNoByDefault(QWidget* parent, const QString& text, const QString& title);
    // A failure the program does not handle: says what failed and ends the program.
    [[noreturn]] virtual void fatal(QWidget* parent, const QString& text);
    // Sends lines to the default printer in the given point size, one printed line each.
    virtual void print(QWidget* parent, const QStringList& lines, int pointSize);

    // The dialogs in force; tests install theirs (nullptr restores the real ones).
    static Dialogs& current();
    static void install(Dialogs* dialogs);
};

// Text between the system's Windows-1252 strings and Qt.
QString fromSystem(std::string_view text);
std::string toSystem(const QString& text);

// The message for a run-time error: "Run-time error 'N':" and its text.
QString runTimeErrorText(int number, const std::string& detail = {});

}  // namespace varkel::shared
