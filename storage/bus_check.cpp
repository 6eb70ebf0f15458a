#include "app/tarnholm.h"

bool Tarnholm::IsUsbMassStorage(QChar) { return false; }
