// Message maps: each dialog class binds every message or notification it handles to one member
// handler in one static table. The table's entries call the handler through a typed thunk.
#pragma once

#include <span>
#include <type_traits>

#include "platform/Types.h"

class CWnd;

using MessageThunk = LRESULT (*)(CWnd& wnd, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT nMessage;
    UINT nCode;  // notification code of WM_COMMAND entries, else 0
    int nID;     // control id of WM_COMMAND entries, else 0
    MessageThunk pfnThunk;
};

struct MessageMap {
    const MessageMap* pBaseMap;
    std::span<const MessageMapEntry> entries;
};

// The entry that handles a message, searching the class's map and then its bases; null when none does.
const MessageMapEntry* FindMessageEntry(const MessageMap* pMap, UINT nMessage, WPARAM wParam);

namespace message_map_detail {

template <class T>
struct MemberOf;
template <class C, class F>
struct MemberOf<F C::*> {
    using Class = C;
};

template <auto Pfn>
using Owner = typename MemberOf<decltype(Pfn)>::Class;

// Calls the handler with the arguments its signature takes from the message.
template <auto Pfn>
LRESULT Invoke(CWnd& wnd, WPARAM wParam, LPARAM lParam)
{
    using C = Owner<Pfn>;
    using F = decltype(Pfn);
    C& self = static_cast<C&>(wnd);
    if constexpr (std::is_same_v<F, void (C::*)()>) {
        (self.*Pfn)();
        return 0;
    } else if constexpr (std::is_same_v<F, void (C::*)(UINT_PTR)>) {
        (self.*Pfn)(static_cast<UINT_PTR>(wParam));
        return 0;
    } else if constexpr (std::is_same_v<F, void (C::*)(UINT, LPARAM)>) {
        (self.*Pfn)(static_cast<UINT>(wParam), lParam);
        return 0;
    } else if constexpr (std::is_same_v<F, void (C::*)(int, LPDRAWITEMSTRUCT)>) {
        (self.*Pfn)(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return 0;
    } else {
        static_assert(std::is_same_v<F, HICON (C::*)()>, "unsupported handler signature");
        return reinterpret_cast<LRESULT>((self.*Pfn)());
    }
}

}  // namespace message_map_detail

// A window message handled by a member, e.g. MapMessage<WM_TIMER, &CMyDlg::OnTimer>().
template <UINT nMessage, auto Pfn>
constexpr MessageMapEntry MapMessage()
{
    return {nMessage, 0, 0, &message_map_detail::Invoke<Pfn>};
}

// A control notification handled by a member, e.g. MapCommand<BN_CLICKED, &CMyDlg::OnClickedOk>(IDOK).
template <UINT nCode, auto Pfn>
constexpr MessageMapEntry MapCommand(int nID)
{
    return {WM_COMMAND, nCode, nID, &message_map_detail::Invoke<Pfn>};
}
