#include "platform/Resources.h"

namespace {

const ResourceSet* g_pResources = nullptr;

}  // namespace

void AfxSetResources(const ResourceSet* resources) { g_pResources = resources; }

const DialogTemplate* AfxFindDialog(UINT nID)
{
    if (!g_pResources)
        return nullptr;
    for (const DialogTemplate* pTemplate : g_pResources->dialogs)
        if (pTemplate->nID == nID)
            return pTemplate;
    return nullptr;
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

HICON AfxLoadIcon(UINT nID)
{
    if (!g_pResources)
        return nullptr;
    for (const IconResource* pIcon : g_pResources->icons)
        if (pIcon->nID == nID)
            return pIcon;
    return nullptr;
}

const ImageResource* AfxFindBitmap(UINT nID)
{
    if (!g_pResources)
        return nullptr;
    for (const ImageResource* pImage : g_pResources->bitmaps)
        if (pImage->nID == nID)
            return pImage;
    return nullptr;
}
