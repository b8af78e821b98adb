// Dialog data exchange: members to fields and back, with validation. A failing step tells the user,
// moves the focus into its field and marks the exchange failed; the steps after it do nothing.
#pragma once

#include "platform/CString.h"
#include "platform/Types.h"

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

    bool Failed() const { return m_bFailed; }
    // Whether a step still has to run: nothing after a failure.
    bool Active() const { return !m_bFailed; }

    // Remembers the field that the following check refers to.
    void PrepareEditCtrl(int nIDC);
    // Shows the message in a modal box, moves the focus into the last prepared field (its text
    // selected) and marks the exchange failed.
    void Fail(const char* pszMessage);

private:
    int m_idLastControl = 0;
    bool m_bFailed = false;
};

// Binds a wrapper to control nIDC of the dialog.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// Text exchange: the string unchanged; a float written in the manner of %g at precision 6 and read as a
// finite decimal number; an unsigned int as decimal digits. Reading never depends on the locale.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, float& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);

// When reading: fails unless minVal <= value <= maxVal.
void DDV_MinMaxFloat(CDataExchange* pDX, float const& value, float minVal, float maxVal);
