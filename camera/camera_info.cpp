#include "app/tarnholm.h"

void Tarnholm::on_pBtnDeviceInfo_clicked() {}
void Tarnholm::on_DeviceList_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    on_pBtnDeviceInfo_clicked();
}
bool Tarnholm::CheckFwVersionChanged() { return false; }
