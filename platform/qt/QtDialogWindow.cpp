#include "platform/qt/QtDialogWindow.h"

#include <QCloseEvent>
#include <algorithm>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include "platform/Dialog.h"
#include "platform/qt/HighlightButton.h"
#include "platform/qt/OwnerDrawButton.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPaintDC.h"
#include "platform/qt/WindowHints.h"

namespace {

constexpr const char* kIdProperty = "mimicboxId";

QString FromText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToText(const QString& text) { return text.toUtf8().toStdString(); }

// A new window text leaves an edit field as the platform does: the caret at the start, nothing
// selected, no undo. The same text changes nothing at all, so typing in progress survives.
void SetEditText(QLineEdit& edit, const QString& text)
{
    if (edit.text() == text)
        return;
    edit.setText(text);
    edit.setCursorPosition(0);
}

QString WithoutMnemonic(const char* pszCaption)
{
    QString text = QString::fromUtf8(pszCaption);
    return text.remove(QLatin1Char('&'));
}

// The smallest timer period the window system honours.
constexpr UINT kMinTimerPeriodMs = 10;

}  // namespace

QtDialogWindow::QtDialogWindow(CDialog& dlg, const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_dlg(dlg), m_template(dialogTemplate),
      m_units(QFont(QString::fromUtf8(dialogTemplate.pszFontName), dialogTemplate.nFontPoints))
{
    setFont(QFont(QString::fromUtf8(dialogTemplate.pszFontName), dialogTemplate.nFontPoints));
    setWindowTitle(QString::fromUtf8(dialogTemplate.pszCaption));
    setWindowFlags(WindowFlagsFor(dialogTemplate.nWindowStyle));
    setFixedSize(m_units.X(dialogTemplate.cx), m_units.Y(dialogTemplate.cy));
    for (const ControlTemplate& control : dialogTemplate.controls)
        CreateControl(control);
    for (const auto& [nID, pszText] : dialogTemplate.initialComboEntries)
        ComboAddString(nID, pszText);
    auto* pMenuShortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(pMenuShortcut, &QShortcut::activated, this, [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
}

QtDialogWindow::~QtDialogWindow() = default;

void QtDialogWindow::CreateControl(const ControlTemplate& control)
{
    QWidget* pWidget = nullptr;
    switch (control.eClass) {
    case ControlClass::Button: pWidget = CreateButton(control); break;
    case ControlClass::Static: pWidget = CreateStatic(control); break;
    case ControlClass::ComboBox: pWidget = CreateComboBox(control); break;
    case ControlClass::Edit: {
        auto* pEdit = new QLineEdit(this);
        pEdit->setFrame((control.nStyle & ControlStyle::Border) != 0);
        pWidget = pEdit;
        break;
    }
    }
    QRect rect = m_units.Rect(control.x, control.y, control.cx, control.cy);
    // A closed combo box is one line high, and its template height holds the dropped-down list too;
    // a picture takes the size of its image.
    if (control.eClass == ControlClass::ComboBox) {
        rect.setHeight(pWidget->sizeHint().height());
        const int nListHeight = m_units.Y(control.cy) - rect.height();
        static_cast<QComboBox*>(pWidget)->setMaxVisibleItems(std::max(1, nListHeight / fontMetrics().height()));
    }
    if (control.eClass == ControlClass::Static && (control.nStyle & (ControlStyle::Bitmap | ControlStyle::Icon)))
        rect.setSize(pWidget->sizeHint());
    pWidget->setGeometry(rect);
    pWidget->setObjectName(QString::fromUtf8(control.pszIDName));
    pWidget->setAccessibleName(control.pszAccessibleName ? QString::fromUtf8(control.pszAccessibleName)
                                                         : WithoutMnemonic(control.pszCaption));
    if (control.nStyle & ControlStyle::TabStop)
        pWidget->setFocusPolicy(Qt::StrongFocus);
    if (control.nID != IDC_STATIC) {
        pWidget->setProperty(kIdProperty, control.nID);
        m_items[control.nID] = pWidget;
    }
}

QWidget* QtDialogWindow::CreateButton(const ControlTemplate& control)
{
    const int nID = control.nID;
    if (control.nStyle & ControlStyle::GroupBox) {
        // A frame only: it lies beneath the controls it frames and lets clicks through to them.
        auto* pGroup = new QGroupBox(QString::fromUtf8(control.pszCaption), this);
        pGroup->setAttribute(Qt::WA_TransparentForMouseEvents);
        pGroup->setFocusPolicy(Qt::NoFocus);
        pGroup->lower();
        return pGroup;
    }
    if (control.nStyle & ControlStyle::OwnerDraw) {
        auto* pButton = new OwnerDrawButton(
            [this, nID](QPainter& painter, const QRect& rect) {
                QtPaintDC dc(painter, palette().color(QPalette::Button));
                DRAWITEMSTRUCT dis;
                dis.CtlID = static_cast<UINT>(nID);
                dis.itemAction = ODA_DRAWENTIRE;
                dis.hDC = &dc;
                dis.rcItem = RECT{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
                m_dlg.SendMessage(WM_DRAWITEM, static_cast<WPARAM>(nID), reinterpret_cast<LPARAM>(&dis));
            },
            this);
        connect(pButton, &QAbstractButton::clicked, this, [this, nID] { SendCommand(nID, BN_CLICKED); });
        return pButton;
    }
    auto* pButton = new HighlightButton(QString::fromUtf8(control.pszCaption), this);
    pButton->setAutoDefault(true);
    pButton->setDefault((control.nStyle & ControlStyle::DefPushButton) != 0);
    connect(pButton, &QAbstractButton::clicked, this, [this, nID] { SendCommand(nID, BN_CLICKED); });
    return pButton;
}

QWidget* QtDialogWindow::CreateStatic(const ControlTemplate& control)
{
    auto* pLabel = new QLabel(this);
    pLabel->setFocusPolicy(Qt::NoFocus);
    // Static controls do not take clicks; they reach the dialog beneath.
    pLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (control.nStyle & ControlStyle::Icon) {
        if (HICON hIcon = AfxLoadIcon(control.nImageID); hIcon && hIcon->pLarge)
            pLabel->setPixmap(QPixmap::fromImage(ToImage(*hIcon->pLarge)));
    } else if (control.nStyle & ControlStyle::Bitmap) {
        if (const ImageResource* pImage = AfxFindBitmap(control.nImageID))
            pLabel->setPixmap(QPixmap::fromImage(ToImage(*pImage)));
    } else {
        pLabel->setTextFormat(Qt::PlainText);
        pLabel->setText(QString::fromUtf8(control.pszCaption));
        pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    return pLabel;
}

QWidget* QtDialogWindow::CreateComboBox(const ControlTemplate& control)
{
    const int nID = control.nID;
    auto* pCombo = new QComboBox(this);
    pCombo->setEditable(true);
    pCombo->setInsertPolicy(QComboBox::NoInsert);
    pCombo->setCompleter(nullptr);
    // Typed text must never pick an entry: drop the box's own reactions to Return and focus-out.
    QObject::disconnect(pCombo->lineEdit(), &QLineEdit::returnPressed, nullptr, nullptr);
    QObject::disconnect(pCombo->lineEdit(), &QLineEdit::editingFinished, nullptr, nullptr);
    m_comboSelections[nID] = CB_ERR;
    connect(pCombo, &QComboBox::activated, this, [this, nID](int nIndex) { OnComboActivated(nID, nIndex); });
    return pCombo;
}

int QtDialogWindow::RunModalLoop(bool bFocusFirst)
{
    if (m_bEnded)
        return m_nEndCode;
    // Qt offers every window manager a sizing function; the template decides instead.
    ApplyMotifHints(*this, MotifHintsFor(m_template.nWindowStyle));
    show();
    // Without a window manager nothing activates the window, and focus queries would answer null.
    activateWindow();
    raise();
    if (bFocusFirst) {
        for (const ControlTemplate& control : m_template.controls) {
            QWidget* pWidget = Item(control.nID);
            if ((control.nStyle & ControlStyle::TabStop) && pWidget && !pWidget->isHidden() && pWidget->isEnabled()) {
                pWidget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    if (!m_bEnded)
        exec();
    return m_nEndCode;
}

std::string QtDialogWindow::GetItemText(int nID) const
{
    QWidget* pWidget = Item(nID);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        return ToText(pEdit->text());
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        return ToText(pCombo->currentText());
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        return ToText(pButton->text());
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        return ToText(pLabel->text());
    return {};
}

void QtDialogWindow::SetItemText(int nID, std::string_view text)
{
    QWidget* pWidget = Item(nID);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        SetEditText(*pEdit, FromText(text));
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        SetEditText(*pCombo->lineEdit(), FromText(text));
    else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        pButton->setText(FromText(text));
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        pLabel->setText(FromText(text));
}

void QtDialogWindow::ShowItem(int nID, bool bShow)
{
    if (QWidget* pWidget = Item(nID))
        pWidget->setVisible(bShow);
}

bool QtDialogWindow::IsItemVisible(int nID) const
{
    QWidget* pWidget = Item(nID);
    return pWidget && !pWidget->isHidden();
}

void QtDialogWindow::EnableItem(int nID, bool bEnable)
{
    if (QWidget* pWidget = Item(nID))
        pWidget->setEnabled(bEnable);
}

bool QtDialogWindow::IsItemEnabled(int nID) const
{
    QWidget* pWidget = Item(nID);
    return pWidget && pWidget->isEnabled();
}

void QtDialogWindow::SetItemHighlight(int nID, bool bHighlight)
{
    if (auto* pButton = qobject_cast<HighlightButton*>(Item(nID)))
        pButton->setHighlight(bHighlight);
}

bool QtDialogWindow::GetItemHighlight(int nID) const
{
    auto* pButton = qobject_cast<HighlightButton*>(Item(nID));
    return pButton && pButton->highlight();
}

void QtDialogWindow::ComboResetContent(int nID)
{
    if (QComboBox* pCombo = Combo(nID)) {
        pCombo->clear();
        pCombo->setEditText(QString());
        m_comboSelections[nID] = CB_ERR;
    }
}

int QtDialogWindow::ComboAddString(int nID, std::string_view text)
{
    QComboBox* pCombo = Combo(nID);
    if (!pCombo)
        return CB_ERR;
    const QString editText = pCombo->currentText();
    pCombo->addItem(FromText(text));
    // Qt selects the first entry added to an empty box; the platform selects nothing.
    if (m_comboSelections[nID] == CB_ERR && pCombo->currentIndex() != CB_ERR) {
        pCombo->setCurrentIndex(CB_ERR);
        pCombo->setEditText(editText);
    }
    return pCombo->count() - 1;
}

int QtDialogWindow::ComboGetCurSel(int nID) const
{
    auto it = m_comboSelections.find(nID);
    return it == m_comboSelections.end() ? CB_ERR : it->second;
}

int QtDialogWindow::ComboSetCurSel(int nID, int nIndex)
{
    QComboBox* pCombo = Combo(nID);
    if (!pCombo)
        return CB_ERR;
    const bool bValid = nIndex >= 0 && nIndex < pCombo->count();
    pCombo->setCurrentIndex(bValid ? nIndex : CB_ERR);
    m_comboSelections[nID] = bValid ? nIndex : CB_ERR;
    // The edit field shows the entry chosen; an unchanged text is not written again.
    if (bValid)
        SetEditText(*pCombo->lineEdit(), pCombo->itemText(nIndex));
    return bValid ? nIndex : CB_ERR;
}

int QtDialogWindow::GetFocusID() const
{
    // The window's own focus widget answers even while the window is not active.
    for (QWidget* pWidget = focusWidget(); pWidget && pWidget != this; pWidget = pWidget->parentWidget()) {
        const QVariant id = pWidget->property(kIdProperty);
        if (id.isValid())
            return id.toInt();
    }
    return 0;
}

void QtDialogWindow::SetFocusItem(int nID, bool bSelectAll)
{
    QWidget* pWidget = Item(nID);
    if (!pWidget)
        return;
    pWidget->setFocus(Qt::OtherFocusReason);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget); pEdit && bSelectAll)
        pEdit->selectAll();
}

UINT_PTR QtDialogWindow::SetTimer(UINT_PTR nIDEvent, UINT nElapse)
{
    if (nIDEvent == 0)
        return 0;
    QTimer*& pTimer = m_timers[nIDEvent];
    if (!pTimer) {
        pTimer = new QTimer(this);
        // Coarse timers may fire up to 5% off; reports must keep their period.
        pTimer->setTimerType(Qt::PreciseTimer);
        connect(pTimer, &QTimer::timeout, this, [this, nIDEvent] { m_dlg.SendMessage(WM_TIMER, nIDEvent, 0); });
    }
    pTimer->start(static_cast<int>(std::max(nElapse, kMinTimerPeriodMs)));
    return nIDEvent;
}

bool QtDialogWindow::KillTimer(UINT_PTR nIDEvent)
{
    auto it = m_timers.find(nIDEvent);
    if (it == m_timers.end())
        return false;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
    return true;
}

int QtDialogWindow::MessageBox(std::string_view text, std::string_view caption, UINT nType)
{
    QMessageBox box(this);
    box.setWindowTitle(FromText(caption));
    box.setText(FromText(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon((nType & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IDOK;
}

void QtDialogWindow::Invalidate(bool)
{
    update();
    for (auto& [nID, pWidget] : m_items)
        pWidget->update();
}

void QtDialogWindow::AppendSystemMenu(UINT nFlags, UINT_PTR nIDItem, std::string_view text)
{
    m_systemMenu.push_back({nFlags, nIDItem, FromText(text)});
}

void QtDialogWindow::DefaultSysCommand(UINT nID)
{
    switch (nID & 0xFFF0) {
    case SC_CLOSE: SendCommand(IDCANCEL, BN_CLICKED); break;
    case SC_MINIMIZE: showMinimized(); break;
    case SC_RESTORE: showNormal(); break;
    case SC_MOVE:
        if (QWindow* pWindow = windowHandle())
            pWindow->startSystemMove();
        break;
    default: break;
    }
}

void QtDialogWindow::SetIcon(HICON hIcon, bool) { setWindowIcon(ToIcon(hIcon)); }

RECT QtDialogWindow::GetClientRect() const { return RECT{0, 0, width(), height()}; }

CDC* QtDialogWindow::BeginPaint()
{
    if (!m_pPaintEvent || m_pPaintDC)
        return nullptr;
    m_pPainter = std::make_unique<QPainter>(this);
    m_pPaintDC = std::make_unique<QtPaintDC>(*m_pPainter, palette().color(QPalette::Window));
    return m_pPaintDC.get();
}

void QtDialogWindow::EndPaint(CDC* pDC)
{
    if (pDC != m_pPaintDC.get())
        return;
    m_pPaintDC.reset();
    m_pPainter.reset();
}

void QtDialogWindow::DefaultPaint()
{
    if (m_pPaintEvent)
        QDialog::paintEvent(m_pPaintEvent);
}

void QtDialogWindow::paintEvent(QPaintEvent* event)
{
    // The dialog paints through its WM_PAINT handler, which may hand back to the default painting.
    m_pPaintEvent = event;
    m_dlg.SendMessage(WM_PAINT, 0, 0);
    m_pPaintEvent = nullptr;
}

void QtDialogWindow::EndDialog(int nResult)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_nEndCode = nResult;
    done(nResult);
}

void QtDialogWindow::reject()
{
    // Escape cancels through the dialog, like the IDCANCEL command.
    SendCommand(IDCANCEL, BN_CLICKED);
}

void QtDialogWindow::closeEvent(QCloseEvent* event)
{
    if (m_bEnded) {
        event->accept();
        return;
    }
    event->ignore();
    m_dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) { ShowSystemMenu(event->globalPos()); }

void QtDialogWindow::ShowSystemMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    FillSystemMenu(menu);
    menu.exec(globalPos);
}

void QtDialogWindow::FillSystemMenu(QMenu& menu)
{
    const auto addCommand = [&](const QString& text, UINT_PTR nID) {
        connect(menu.addAction(text), &QAction::triggered, this,
                [this, nID] { m_dlg.SendMessage(WM_SYSCOMMAND, nID, 0); });
    };
    // The window system's own entries first, in its order, then the program's.
    if (const SystemMenuTexts* pTexts = AfxSystemMenuTexts()) {
        addCommand(QString::fromUtf8(pTexts->pszMove), SC_MOVE);
        if (m_template.nWindowStyle & WindowStyle::MinimizeBox)
            addCommand(QString::fromUtf8(pTexts->pszMinimize), SC_MINIMIZE);
        menu.addSeparator();
        addCommand(QString::fromUtf8(pTexts->pszClose), SC_CLOSE);
    }
    for (const MenuItem& item : m_systemMenu) {
        if (item.nFlags & MF_SEPARATOR)
            menu.addSeparator();
        else
            addCommand(item.text, item.nID);
    }
}

QWidget* QtDialogWindow::Item(int nID) const
{
    auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second;
}

QComboBox* QtDialogWindow::Combo(int nID) const { return qobject_cast<QComboBox*>(Item(nID)); }

void QtDialogWindow::SendCommand(int nID, UINT nCode)
{
    m_dlg.SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(nID), nCode), 0);
}

void QtDialogWindow::OnComboActivated(int nID, int nIndex)
{
    // Only a change of the selection is a choice; Return on the current entry is not.
    if (m_comboSelections[nID] == nIndex)
        return;
    m_comboSelections[nID] = nIndex;
    SendCommand(nID, CBN_SELCHANGE);
}
