#include "pages/GeneralCtrlPage.h"

#include "resource.h"

CGeneralCtrlPage::CGeneralCtrlPage() : CResizePage(IDD_GENERAL, nullptr) {}

void CGeneralCtrlPage::SetDspStatus(const kelvane::DspStatusReport&) {}
void CGeneralCtrlPage::EnableStatusCheck(int32_t) {}
