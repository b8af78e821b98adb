// The main dialog opened on the recorded window system, with helpers that read its controls.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/FakeWindowSystem.h"
#include "tests/LoopbackServer.h"
#include "ui/MimicboxDlg.h"
#include "ui/res/Resource.h"

// Registers the program's resources before anything is built from them.
struct ResourcesRegistered {
    ResourcesRegistered();
};

class DialogTest : public ::testing::Test {
protected:
    DialogTest();

    std::string Text(int nID) const { return m_pHost->GetItemText(nID); }
    bool Visible(int nID) const { return m_pHost->IsItemVisible(nID); }
    bool Enabled(int nID) const { return m_pHost->IsItemEnabled(nID); }
    bool Highlighted(int nID) const { return m_pHost->GetItemHighlight(nID); }
    // The ids of the highlighted buttons among the four step buttons and Send.
    std::vector<int> HighlightedButtons() const;
    std::vector<std::string> Entries(int nID) const;

    // Moves the manual clock on, delivering the ticks that fall due.
    void AdvanceMs(int64_t nMs) { m_system.AdvanceTime(nMs); }
    // Types the server's port, clicks "Verbinden" and accepts the connection on the server's side.
    void ConnectToServer();

    ResourcesRegistered m_resources;
    // The dialog outlives the window system, which detaches it when it ends.
    CMimicboxDlg m_dlg;
    FakeWindowSystem m_system;
    FakeWindowHost* m_pHost = nullptr;
    LoopbackServer m_server;
};
