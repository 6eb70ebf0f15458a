#include "app/tarnholm.h"
#include "camera/fic_library.h"
#include "camera/version_block.h"

namespace {

QString messageFor(versionblock::ReadResult result)
{
    return QString::fromLocal8Bit(result == versionblock::ReadResult::InitFailed
                                      ? "Initialize Device Error."
                                      : "Get Version Failed");
}

} // namespace

void Tarnholm::on_pBtnDeviceInfo_clicked()
{
    ui.EditInfo->clear();
    ui.DeviceInfo->clear();

    const int index = ui.DeviceList->currentIndex();
    IBaseFilter *filter = nullptr;
    if (index < 0
        || !versionblock::filterFromItemData(ui.DeviceList->itemData(index, Qt::UserRole), &filter)) {
        ui.EditInfo->append(QString::fromLocal8Bit("Can't find device.\n"));
        return;
    }

    unsigned char block[FicVersionBlockSize] = {};
    int length = 0;
    const versionblock::ReadResult result = versionblock::read(filter, block, &length);
    if (result != versionblock::ReadResult::Read) {
        ui.EditInfo->append(messageFor(result));
        return;
    }

    if (length >= FicVersionMinimum) {
        ui.DeviceInfo->append(versionblock::versionLine(block));
        currentVersion = versionblock::versionText(block);
        ui.DeviceInfo->append(versionblock::dateLine(block));
        currentDate = versionblock::dateText(block);
    }
    if (length >= FicVersionWithMcu)
        ui.DeviceInfo->append(versionblock::mcuLine(block));
}

void Tarnholm::on_DeviceList_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    on_pBtnDeviceInfo_clicked();
}

bool Tarnholm::CheckFwVersionChanged()
{
    if (ui.DeviceList->count() == 0)
        return false;

    const int i = FindUpdatedCamera();
    if (i < 0)
        return false;

    IBaseFilter *filter = nullptr;
    if (!versionblock::filterFromItemData(ui.DeviceList->itemData(i, Qt::UserRole), &filter)) {
        ui.EditInfo->append(QString::fromLocal8Bit("Can't find device.\n"));
        return false;
    }

    unsigned char block[FicVersionBlockSize] = {};
    int length = 0;
    const versionblock::ReadResult result = versionblock::read(filter, block, &length);
    if (result != versionblock::ReadResult::Read) {
        ui.EditInfo->append(messageFor(result));
        return false;
    }
    if (length < FicVersionMinimum)
        return false;

    return versionblock::versionText(block) != savedVersion
        || versionblock::dateText(block) != savedDate;
}
