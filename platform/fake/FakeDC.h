// A drawing context that records what is drawn on it, for tests of owner drawing and painting.
#pragma once

#include <vector>

#include "platform/Gdi.h"

class FakeDC : public CDC {
public:
    struct Ellipse {
        RECT rect;
        bool bHasBrush;
        COLORREF color;
    };
    struct Icon {
        int x;
        int y;
        HICON hIcon;
    };

    std::vector<Ellipse> ellipses;
    std::vector<Icon> icons;
    int nErased = 0;

    void EraseBackground(const RECT&) override { ++nErased; }

protected:
    void PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor) override
    {
        ellipses.push_back({rect, bHasBrush, brushColor});
    }
    void PaintIcon(int x, int y, HICON hIcon) override { icons.push_back({x, y, hIcon}); }
};
