// A window system for tests: dialogs open without a modal loop, timers run on a manual clock, and
// message boxes are recorded. A test decides what happens while a box is open, so that nested
// handlers (a tick inside a tick's box) can be exercised.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/fake/FakeSocketLoop.h"
#include "platform/fake/FakeWindowHost.h"

struct FakeMessageBox {
    std::string strText;
    std::string strCaption;
    UINT nType;
};

class FakeWindowSystem : public IWindowSystem, public IClock {
public:
    // Becomes the process's window system for its lifetime.
    FakeWindowSystem();
    ~FakeWindowSystem() override;

    // Creates the dialog's window and runs OnInitDialog; the test then drives it. Null when the
    // dialog's template is missing. The host lives until Close or the system's end.
    FakeWindowHost* Open(CDialog& dlg);
    void Close(CDialog& dlg);
    FakeWindowHost* HostOf(const CDialog& dlg);

    // Moves the manual clock on by nMs and delivers every timer that falls due, in time order.
    void AdvanceTime(int64_t nMs);
    int64_t NowMs() const { return m_nNowMs; }
    void SetCalendarSeconds(int64_t nSeconds) { m_nCalendarBase = nSeconds - m_nNowMs / 1000; }

    // Every box shown so far, and how many are open now.
    const std::vector<FakeMessageBox>& Boxes() const { return m_boxes; }
    int OpenBoxCount() const { return m_nOpenBoxes; }
    // Runs while a box is open; returns the button that dismisses it. By default: IDOK at once.
    std::function<int(const FakeMessageBox&)> onMessageBox;
    // Runs a modal dialog opened by the program (the About box, say); it must end the dialog.
    // By default the dialog ends with IDOK at once.
    std::function<void(FakeWindowHost&)> onModal;
    // The dialogs that RunModal has run, by template id.
    const std::vector<UINT>& ModalRuns() const { return m_modalRuns; }

    // Used by the hosts.
    int ShowBox(std::string_view text, std::string_view caption, UINT nType);

    // IWindowSystem
    int RunModal(CDialog& dlg) override;
    IClock& Clock() override { return *this; }
    ISocketLoop& Sockets() override { return m_sockets; }
    FakeSocketLoop& SocketLoop() { return m_sockets; }

    // IClock
    int64_t CalendarSeconds() override { return m_nCalendarBase + m_nNowMs / 1000; }

private:
    bool DeliverNextTimer(int64_t nUntilMs);

    FakeSocketLoop m_sockets;
    std::vector<std::unique_ptr<FakeWindowHost>> m_hosts;
    std::vector<FakeMessageBox> m_boxes;
    std::vector<UINT> m_modalRuns;
    int m_nOpenBoxes = 0;
    int64_t m_nNowMs = 0;
    int64_t m_nCalendarBase = 1765000000;
};
