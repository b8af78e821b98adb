#include "tests/qt/QtTestSupport.h"

#include <QAbstractButton>
#include <QtTest/QTest>

#include "ui/res/Resources.h"

QtWindowSystem* g_pSystem = nullptr;

int RunQtTests(QObject& test, int argc, char* argv[])
{
    QtWindowSystem system(argc, argv);
    g_pSystem = &system;
    AfxSetResources(&MimicboxResources());
    AfxSetWindowSystem(&system);
    const int nResult = QTest::qExec(&test, argc, argv);
    AfxSetWindowSystem(nullptr);
    return nResult;
}

bool RunInMainWindow(const std::function<void(QtDialogWindow&, CMimicboxDlg&)>& body)
{
    CMimicboxDlg dlg;
    bool bRan = false;
    QTimer::singleShot(0, [&] {
        QtDialogWindow& window = *g_pSystem->OpenWindows().back();
        body(window, dlg);
        bRan = true;
        if (!window.Ended())
            window.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    return bRan;
}

QtDialogWindow* InnerDialog()
{
    const auto& windows = g_pSystem->OpenWindows();
    return windows.size() > 1 ? windows.back() : nullptr;
}

void DismissNextBox(QString* pText)
{
    WhenOpen<QMessageBox>(ActivePopupOrModal<QMessageBox>, [pText](QMessageBox& box) {
        *pText = box.text();
        box.button(QMessageBox::Ok)->click();
    });
}
