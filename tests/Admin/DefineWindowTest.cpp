// frmDefine, "Define Applications", on its real window: slots read from and saved to apps.dat.
#include "ConsoleFixture.h"
#include "DefineWindow.h"
#include "MainWindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;

const QString kTooLong = "Button names cannot exceed 7 characters.";

QLineEdit* box(QWidget* window, int n) {
    auto* text = window->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
    EXPECT_NE(text, nullptr) << "Text" << n;
    return text;
}
QPushButton* command(QWidget* window, int n) {
    auto* button = window->findChild<QPushButton*>(QStringLiteral("Command%1").arg(n));
    EXPECT_NE(button, nullptr) << "Command" << n;
    return button;
}
QString location(QWidget* window, int slot) { return box(window, slot)->text(); }
QString buttonText(QWidget* window, int slot) { return box(window, 14 + slot)->text(); }

// Fills a slot as a person pasting into its two boxes would (QTest types ASCII only).
void define(QWidget* window, int slot, const QString& text, const QString& program) {
    box(window, slot)->selectAll();
    box(window, slot)->insert(program);
    box(window, 14 + slot)->selectAll();
    box(window, 14 + slot)->insert(text);
}

// Every slot as "button text|location", empty slots as "|".
QStringList slotsOf(QWidget* window) {
    QStringList all;
    for (int slot = 1; slot <= 14; ++slot) all << buttonText(window, slot) + "|" + location(window, slot);
    return all;
}
QStringList withEmptySlots(QStringList filled) {
    while (filled.size() < 14) filled << "|";
    return filled;
}

class DefineWindowTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        networkFolder("123456789\r\n");
        NetworkPath = "N:\\";
        fs::create_directories(share / "bin");
        writeBytes(share / "bin" / "edit.exe", "x");
        writeBytes(share / "bin" / "view.exe", "x");
    }
    fs::path list() const { return share / "apps.dat"; }
    // Drives the file picker that "Browse..." opens.
    static void pickInPicker(const char* file, const char* button) {
        whenModal([=](QWidget* picker) {
            EXPECT_EQ(picker->objectName(), "frmSelect");
            EXPECT_EQ(picker->windowTitle(), "Select Executable File");
            EXPECT_EQ(SelectMode, 1);
            auto* drives = picker->findChild<QComboBox*>("Drive1");
            drives->setCurrentIndex(drives->findText("N:"));
            auto* dirs = picker->findChild<QListWidget*>("Dir1");
            dirs->setCurrentItem(dirs->findItems("bin", Qt::MatchExactly).value(0));
            QTest::keyClick(dirs, Qt::Key_Return);
            if (file != nullptr) {
                auto* files = picker->findChild<QListWidget*>("File1");
                const auto found = files->findItems(file, Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1) << file;
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(found[0]).center());
            }
            picker->findChild<QPushButton*>(button)->click();
        });
    }
};

TEST_F(DefineWindowTest, DefineApplicationsSavesCompleteSlotsInOrderAndReopensThemMovedUp) {
    MainWindow main;
    whenModal([](QWidget* window) {
        EXPECT_EQ(window->objectName(), "frmDefine");
        EXPECT_EQ(window->windowTitle(), "Define Applications");
        EXPECT_EQ(window->findChild<QLabel*>("Label1")->text(), "Application 1");
        EXPECT_EQ(window->findChild<QLabel*>("Label14")->text(), "Application 14");
        EXPECT_EQ(window->findChild<QLabel*>("Label15")->text(), "Button Text");
        EXPECT_EQ(window->findChild<QLabel*>("Label16")->text(), "Application EXE location");
        EXPECT_EQ(command(window, 14)->text(), "Browse...");
        EXPECT_EQ(command(window, 15)->text(), "Save");
        EXPECT_EQ(command(window, 16)->text(), "Cancel");
        EXPECT_EQ(slotsOf(window), withEmptySlots({}));

        define(window, 1, "Edit", "C:\\Program Files\\Editor\\edit.exe");
        define(window, 3, "Café", "N:\\Über\\view.exe -r");
        define(window, 5, "", "N:\\bin\\lonely.exe");  // half-filled slots are left out
        define(window, 6, "Lonely", "");
        command(window, 15)->click();
    });
    command(&main, 11)->click();
    EXPECT_EQ(readBytes(list()), "Edit:C:\\Program Files\\Editor\\edit.exe\r\n"
                                 "Caf\xE9:N:\\\xDC" "ber\\view.exe -r\r\n");  // Windows-1252

    whenModal([](QWidget* window) {
        EXPECT_EQ(slotsOf(window),
                  withEmptySlots({"Edit|C:\\Program Files\\Editor\\edit.exe", "Café|N:\\Über\\view.exe -r"}));
        command(window, 16)->click();
    });
    command(&main, 11)->click();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.join("\n").toStdString();
}

TEST_F(DefineWindowTest, AllSlotsEmptySaveLeavesAnEmptyListThatReopeningDeletes) {
    writeBytes(list(), "Edit:C:\\e.exe\r\n");
    {
        DefineWindow window;
        define(&window, 1, "", "");
        command(&window, 15)->click();
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
    ASSERT_TRUE(fs::exists(list()));
    EXPECT_EQ(fs::file_size(list()), 0u);

    DefineWindow reopened;
    EXPECT_EQ(slotsOf(&reopened), withEmptySlots({}));
    EXPECT_FALSE(fs::exists(list()));
}

TEST_F(DefineWindowTest, CancelAndTheCloseBoxWriteNothing) {
    const std::string stored = "Edit:C:\\e.exe\r\nView:C:\\v.exe\r\n";
    writeBytes(list(), stored);
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel");
        DefineWindow window;
        window.show();
        define(&window, 1, "Other", "C:\\other.exe");
        define(&window, 2, "", "");
        define(&window, 3, "New", "C:\\new.exe");
        if (closeBox)
            window.close();
        else
            command(&window, 16)->click();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(readBytes(list()), stored);
    }
    // Without a list, opening and cancelling leaves none behind.
    fs::remove(list());
    DefineWindow window;
    command(&window, 16)->click();
    EXPECT_FALSE(fs::exists(list()));
}

TEST_F(DefineWindowTest, ButtonTextOverSevenCharactersWarnsOnEveryChangeButIsKept) {
    DefineWindow window;
    QLineEdit* text = box(&window, 20);  // slot 6
    QTest::keyClicks(text, "Editor7");
    EXPECT_TRUE(dialogs.messages.empty());
    QTest::keyClicks(text, "8");
    EXPECT_EQ(dialogs.messages, QStringList{kTooLong});
    QTest::keyClicks(text, "9");  // a ninth character warns again
    EXPECT_EQ(dialogs.messages, QStringList(2, kTooLong));
    QTest::keyClick(text, Qt::Key_Backspace);  // still eight
    EXPECT_EQ(dialogs.messages.size(), 3);
    QTest::keyClick(text, Qt::Key_Backspace);  // seven again
    EXPECT_EQ(dialogs.messages.size(), 3);
    QTest::keyClicks(box(&window, 6), "C:\\a rather long location.exe");  // locations have no limit
    EXPECT_EQ(dialogs.messages.size(), 3);

    QTest::keyClicks(text, "89");
    dialogs.messages.clear();
    command(&window, 15)->click();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(readBytes(list()), "Editor789:C:\\a rather long location.exe\r\n");

    // Stored long texts warn while the window opens, once each.
    writeBytes(list(), "LongName:C:\\a.exe\r\nShort:C:\\b.exe\r\n:C:\\c.exe\r\nLongerName:C:\\d.exe\r\n");
    DefineWindow reopened;
    EXPECT_EQ(dialogs.messages, QStringList(2, kTooLong));
    EXPECT_EQ(buttonText(&reopened, 4), "LongerName");
}

TEST_F(DefineWindowTest, BrowseFillsItsSlotFromThePickerAndCancelLeavesIt) {
    writeBytes(list(), "Edit:C:\\old\\edit.exe\r\nView:C:\\old\\view.exe\r\n");
    DefineWindow window;
    SelectMode = 2;
    pickInPicker("view.exe", "Command1");  // Set
    command(&window, 2)->click();
    EXPECT_EQ(location(&window, 2), "N:\\bin\\view.exe");
    EXPECT_EQ(location(&window, 1), "C:\\old\\edit.exe");

    pickInPicker("edit.exe", "Command2");  // Cancel after a click
    command(&window, 2)->click();
    EXPECT_EQ(location(&window, 2), "N:\\bin\\view.exe");
    pickInPicker(nullptr, "Command1");  // Set without a click
    command(&window, 1)->click();
    EXPECT_EQ(location(&window, 1), "C:\\old\\edit.exe");

    pickInPicker("edit.exe", "Command1");
    command(&window, 14)->click();
    EXPECT_EQ(location(&window, 14), "N:\\bin\\edit.exe");
    EXPECT_EQ(buttonText(&window, 14), "");
    QTest::keyClicks(box(&window, 28), "Last");
    command(&window, 15)->click();
    EXPECT_EQ(readBytes(list()), "Edit:C:\\old\\edit.exe\r\nView:N:\\bin\\view.exe\r\nLast:N:\\bin\\edit.exe\r\n");
}

TEST_F(DefineWindowTest, AButtonTextWithAColonIsRefusedRatherThanSavedCut) {
    const std::string stored = "Edit:C:\\e.exe\r\n";
    writeBytes(list(), stored);
    DefineWindow window;
    window.show();
    define(&window, 2, "Ed:it", "C:\\Program Files\\Editor\\edit.exe");
    command(&window, 15)->click();
    EXPECT_EQ(dialogs.messages, QStringList{"Button names cannot contain \":\"."});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(readBytes(list()), stored);

    define(&window, 2, "Edit2", "C:\\Program Files\\Editor\\edit.exe");
    define(&window, 3, "Half:", "");  // left out anyway, so it stops nothing
    command(&window, 15)->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(readBytes(list()), "Edit:C:\\e.exe\r\nEdit2:C:\\Program Files\\Editor\\edit.exe\r\n");
}

TEST_F(DefineWindowTest, LineBreaksPastedIntoABoxAreDroppedSoEachSlotStaysOneLine) {
    DefineWindow window;
    QApplication::clipboard()->setText("C:\\Program Files\\Editor\\edit.exe\n");  // copied with its newline
    box(&window, 1)->paste();
    QApplication::clipboard()->setText("Ed\r\nit");
    box(&window, 15)->paste();
    define(&window, 2, "View", "C:\\view.exe");
    EXPECT_EQ(location(&window, 1), "C:\\Program Files\\Editor\\edit.exe");
    EXPECT_EQ(buttonText(&window, 1), "Edit");
    command(&window, 15)->click();
    EXPECT_EQ(readBytes(list()), "Edit:C:\\Program Files\\Editor\\edit.exe\r\nView:C:\\view.exe\r\n");
}

TEST_F(DefineWindowTest, LinesWithoutColonOpenAsLocationsAndLinesPastFourteenAreIgnored) {
    auto line = [](int k) { return "App" + std::to_string(k) + ":C:\\p" + std::to_string(k) + "\r\n"; };
    std::string stored;
    for (int k = 1; k <= 16; ++k) stored += k == 2 ? std::string("gedit --new-window\r\n") : line(k);
    writeBytes(list(), stored);
    DefineWindow window;
    EXPECT_EQ(buttonText(&window, 1), "App1");
    EXPECT_EQ(location(&window, 1), "C:\\p1");
    EXPECT_EQ(buttonText(&window, 2), "");  // the launchers show no button for it either
    EXPECT_EQ(location(&window, 2), "gedit --new-window");
    EXPECT_EQ(buttonText(&window, 14), "App14");

    // Saved as it stands, the line without ":" is a half-filled slot and is left out.
    command(&window, 15)->click();
    std::string expected;
    for (int k = 1; k <= 14; ++k)
        if (k != 2) expected += line(k);
    EXPECT_EQ(readBytes(list()), expected);
}

TEST_F(DefineWindowTest, AnUnreachableNetworkFolderEndsTheConsoleWithItsError) {
    DefineWindow window;
    define(&window, 1, "Edit", "C:\\e.exe");
    fs::remove_all(share);
    try {
        window.Command15_Click();  // called directly: the fatal seam throws, which must not cross Qt
        ADD_FAILURE() << "saving into a missing folder went on";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string(e.what()).find("Run-time error '76'"), std::string::npos) << e.what();
    }
    EXPECT_EQ(library.callsOf("VrkShutDown").size(), 1u);  // the key material goes first

    EXPECT_THROW(DefineWindow{}, FatalError);
}

}  // namespace
}  // namespace varkel::admin::test
