#include "Dialogs.h"

#include "CodePage.h"
#include "VbError.h"

#include <QApplication>
#include <QFont>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdlib>

namespace varkel::shared {
namespace {

Dialogs g_realDialogs;
Dialogs* g_dialogs = nullptr;

QString caption() { return QApplication::applicationName(); }

}  // namespace

void Dialogs::message(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, caption(), text, QMessageBox::Ok);
}

bool Dialogs::askYesNo(QWidget* parent, const QString& text, const QString& title) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool Dialogs::askNoByDefault(QWidget* parent, const QString& text, const QString& title) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void Dialogs::fatal(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, caption(), text, QMessageBox::Ok);
    std::exit(1);
}

void Dialogs::print(QWidget*, const QStringList& lines, int pointSize) {
    QPrinter printer(QPrinterInfo::defaultPrinter());
    QPainter painter;
    if (!painter.begin(&printer)) throw platform::VbError(platform::kDeviceIo, "no printer");
    QFont font = painter.font();
    font.setPointSize(pointSize);
    painter.setFont(font);
    const int lineHeight = painter.fontMetrics().lineSpacing();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    int y = lineHeight;
    for (const QString& line : lines) {
        if (y > page.height()) {
            printer.newPage();
            y = lineHeight;
        }
        painter.drawText(0, y, line);
        y += lineHeight;
    }
    painter.end();
}

Dialogs& Dialogs::current() { return g_dialogs != nullptr ? *g_dialogs : g_realDialogs; }
void Dialogs::install(Dialogs* dialogs) { g_dialogs = dialogs; }

QString fromSystem(std::string_view text) {
    const std::string utf8 = platform::cp1252ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toSystem(const QString& text) { return platform::utf8ToCp1252(text.toUtf8().toStdString()); }

QString runTimeErrorText(int number, const std::string& detail) {
    QString text = QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(QString::fromUtf8(platform::vbErrorText(number)));
    if (!detail.empty()) text += QStringLiteral("\n\n") + fromSystem(detail);
    return text;
}

}  // namespace varkel::shared
