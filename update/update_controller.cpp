#include "app/tarnholm.h"

void Tarnholm::on_BtnLoadFw_clicked() {}
void Tarnholm::on_BtnFwFile_clicked() {}
void Tarnholm::HandleWorkerTheardState(const int) {}
