// frmMain, the administrator console's main window.
#pragma once

#include <QMainWindow>

#include <optional>
#include <string>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace varkel::admin {

struct FolderPlan;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The file-present test, public for the console's other windows.
    bool FilePresent(const std::string& path);

    void Form_Load();
    void Timer1_Timer();
    void Timer2_Timer();
    void List3_Click();
    void Command1_Click();   // Add... (Locked Files)
    void Command2_Click();   // Delete (Locked Files)
    void Command3_Click();   // Select... (Network Path)
    void Command4_Click();   // Delete (Current Files)
    void Command5_Click();   // Generate Keys...
    void Command6_Click();   // Set Key
    void Command8_Click();   // Convert Encrypted Files to New Key...
    void Command9_Click();   // Encrypt New Folder...
    void Command10_Click();  // Restore Files
    void Command12_Click();  // Transfer Files
    void Command11_Click();  // Define Applications...
    void Command13_Click();  // Lock All
    void Command14_Click();  // Unlock All
    void fleext_Click();     // File, Exit
    void hlpabt_Click();     // Help, About
    void showHelp(const char* file);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    QPushButton* button(const char* name, const char* caption, QWidget* frame);
    void setWorkEnabled(bool enabled);
    bool deleteSelected(QListWidget* list, const char* listFile, const char* transient, const char* nothingSelected);
    int fillList(QListWidget* list, const std::string& file);
    int refreshList(QListWidget* list, const std::string& file);
    int fillLocks();
    bool unlockConfirmed(const std::optional<std::vector<std::string>>& entries);
    void setFilesCaption(int count);
    void showProgress(const QString& text);
    void encryptFolder(const std::string& folder, const std::string& key, const FolderPlan& plan);
    void finishInterruptedCommands();
    void warnAboutCachingMount();
    void shutDownLibrary();

    QGroupBox* frame3_ = nullptr;
    QListWidget* list1_ = nullptr;
    QListWidget* list2_ = nullptr;
    QListWidget* list3_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLabel* label2_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    std::vector<QWidget*> work_;  // the controls that need a network path
    bool shutDown_ = false;
    bool working_ = false;         // a command is running; closing waits for its end
    bool closeRequested_ = false;
};

}  // namespace varkel::admin
