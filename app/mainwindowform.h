#ifndef MAINWINDOWFORM_H
#define MAINWINDOWFORM_H

class QCheckBox;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

// The fixed widget tree of the main window. The widgets are children of the window; this
// object only holds pointers to them.
class MainWindowForm
{
public:
    QWidget *centralWidget = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *lbDevices = nullptr;
    QComboBox *cbCurrentDevice = nullptr;
    QLabel *lbDeviceCount = nullptr;
    QScrollArea *plotsArea = nullptr;
    QWidget *scrollAreaWidgetContents = nullptr;
    QGroupBox *frame = nullptr;
    QStatusBar *statusBar = nullptr;
    QDockWidget *dockWidget = nullptr;
    QWidget *dockWidgetContents = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QTreeWidget *treeWidget = nullptr;
    QDockWidget *dockWidget_2 = nullptr;
    QWidget *dockWidgetContents_2 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QPlainTextEdit *pte = nullptr;
    QCheckBox *cbShowAll = nullptr;
    QCheckBox *cbRecord = nullptr;
    QDockWidget *dockWidget_3 = nullptr;
    QWidget *dockWidgetContents_3 = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QComboBox *cbCommand = nullptr;
    QPushButton *pbSend = nullptr;
    QScrollArea *scrollArea = nullptr;
    QWidget *scrollAreaWidgetContents_2 = nullptr;
    QVBoxLayout *verticalLayout_5 = nullptr;
    QGroupBox *gbOut = nullptr;
    QGroupBox *gbIn = nullptr;

    // Creates the widgets, sets their texts and binds the window's on_<object>_<signal> slots.
    void setupForm(QMainWindow *window);
    void retranslateForm(QMainWindow *window);
};

#endif // MAINWINDOWFORM_H
