#include "platform/Resources.h"

namespace {

const ResourceSet* g_pResources = nullptr;

// The entry of a table with the id, or null.
template <typename T>
T* FindByID(std::span<T* const> table, UINT nID)
{
    for (T* pEntry : table)
        if (pEntry->nID == nID)
            return pEntry;
    return nullptr;
}

}  // namespace

void AfxSetResources(const ResourceSet* resources) { g_pResources = resources; }

const DialogTemplate* AfxFindDialog(UINT nID)
{
    return g_pResources ? FindByID(g_pResources->dialogs, nID) : nullptr;
}

bool AfxLoadString(UINT nID, std::string& text)
{
    if (!g_pResources)
        return false;
    for (const StringResource& entry : g_pResources->strings) {
        if (entry.nID == nID) {
            text = entry.pszText;
            return true;
        }
    }
    return false;
}

HICON AfxLoadIcon(UINT nID) { return g_pResources ? FindByID(g_pResources->icons, nID) : nullptr; }

const ImageResource* AfxFindBitmap(UINT nID)
{
    return g_pResources ? FindByID(g_pResources->bitmaps, nID) : nullptr;
}

const SystemMenuTexts* AfxSystemMenuTexts() { return g_pResources ? g_pResources->pSystemMenu : nullptr; }
