#include "platform/fake/FakeWindowSystem.h"

#include <algorithm>

#include "platform/Dialog.h"

FakeWindowSystem::FakeWindowSystem() { AfxSetWindowSystem(this); }

FakeWindowSystem::~FakeWindowSystem()
{
    for (auto& pHost : m_hosts)
        pHost->Dialog().DetachHost();
    if (AfxGetWindowSystem() == this)
        AfxSetWindowSystem(nullptr);
}

FakeWindowHost* FakeWindowSystem::Open(CDialog& dlg)
{
    const DialogTemplate* pTemplate = AfxFindDialog(dlg.GetTemplateID());
    if (!pTemplate)
        return nullptr;
    m_hosts.push_back(std::make_unique<FakeWindowHost>(*this, dlg, *pTemplate));
    FakeWindowHost* pHost = m_hosts.back().get();
    dlg.AttachHost(pHost);
    dlg.OnInitDialog();
    return pHost;
}

void FakeWindowSystem::Close(CDialog& dlg)
{
    auto it = std::find_if(m_hosts.begin(), m_hosts.end(),
                           [&](const auto& pHost) { return &pHost->Dialog() == &dlg; });
    if (it == m_hosts.end())
        return;
    dlg.DetachHost();
    m_hosts.erase(it);
}

FakeWindowHost* FakeWindowSystem::HostOf(const CDialog& dlg)
{
    for (auto& pHost : m_hosts)
        if (&pHost->Dialog() == &dlg)
            return pHost.get();
    return nullptr;
}

void FakeWindowSystem::AdvanceTime(int64_t nMs)
{
    const int64_t nUntil = m_nNowMs + nMs;
    while (DeliverNextTimer(nUntil)) {
    }
    m_nNowMs = std::max(m_nNowMs, nUntil);
}

bool FakeWindowSystem::DeliverNextTimer(int64_t nUntilMs)
{
    FakeWindowHost* pDue = nullptr;
    UINT_PTR nDueID = 0;
    int64_t nDueMs = nUntilMs + 1;
    for (auto& pHost : m_hosts) {
        for (auto& [nID, timer] : pHost->Timers()) {
            if (timer.nDueMs < nDueMs) {
                pDue = pHost.get();
                nDueID = nID;
                nDueMs = timer.nDueMs;
            }
        }
    }
    if (!pDue)
        return false;
    m_nNowMs = std::max(m_nNowMs, nDueMs);
    FakeWindowHost::Timer& timer = pDue->Timers()[nDueID];
    timer.nDueMs += timer.nPeriod;
    pDue->Dialog().SendMessage(WM_TIMER, nDueID, 0);
    return true;
}

int FakeWindowSystem::ShowBox(std::string_view text, std::string_view caption, UINT nType)
{
    m_boxes.push_back({std::string(text), std::string(caption), nType});
    const FakeMessageBox box = m_boxes.back();
    ++m_nOpenBoxes;
    const int nResult = onMessageBox ? onMessageBox(box) : IDOK;
    --m_nOpenBoxes;
    return nResult;
}

int FakeWindowSystem::RunModal(CDialog& dlg)
{
    FakeWindowHost* pHost = Open(dlg);
    if (!pHost)
        return -1;
    m_modalRuns.push_back(dlg.GetTemplateID());
    if (onModal)
        onModal(*pHost);
    if (!pHost->Ended())
        pHost->EndDialog(IDOK);
    const int nCode = pHost->EndCode();
    Close(dlg);
    return nCode;
}
