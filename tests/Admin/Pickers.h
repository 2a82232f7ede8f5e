// Drives the console's pickers as a person would: the drive selector, the folder list (a
// folder is opened by selecting it and pressing Enter) and the file list.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace varkel::admin::test {

// Drives a picker's drive selector, folder list and file list as a person would.
struct Picker {
    QWidget* window;
    void drive(const char* letter) {
        auto* drives = window->findChild<QComboBox*>("Drive1");
        drives->setCurrentIndex(drives->findText(letter));
    }
    void open(const char* folder) {  // select it and press Enter
        auto* dirs = window->findChild<QListWidget*>("Dir1");
        const auto found = dirs->findItems(folder, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << folder;
        dirs->setCurrentItem(found[0]);
        QTest::keyClick(dirs, Qt::Key_Return);
    }
    void clickFile(const char* name) {
        auto* files = window->findChild<QListWidget*>("File1");
        const auto found = files->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(found[0]).center());
    }
    QString label() const { return window->findChild<QLabel*>("Label1")->text(); }
    void press(const char* button) { window->findChild<QPushButton*>(button)->click(); }
};

}  // namespace varkel::admin::test
