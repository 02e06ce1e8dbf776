#include "App/StartupProblem.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>

namespace dovrane::StartupProblem {

bool canShowWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

StoreBox storeBox(const std::string& path, const ModelContainer::OpenFailure& failure) {
    StoreBox result;
    result.box = std::make_unique<QMessageBox>();
    QMessageBox& box = *result.box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QCoreApplication::translate("dovrane::StartupProblem", "Dovrane"));
    box.setText(QCoreApplication::translate("dovrane::StartupProblem", "The database at %1 could not be opened.")
                    .arg(QFile::decodeName(QByteArray::fromStdString(path))));
    if (failure.damaged) {
        box.setInformativeText(QCoreApplication::translate(
            "dovrane::StartupProblem",
            "The file is damaged. It is kept as it is, so that the records it can still give are not lost. "
            "Dovrane can move it aside and start with a new, empty database."));
        result.freshButton =
            box.addButton(QCoreApplication::translate("dovrane::StartupProblem", "Start With a New Database"),
                          QMessageBox::AcceptRole);
    } else {
        box.setInformativeText(QCoreApplication::translate(
            "dovrane::StartupProblem",
            "Nothing was changed. Check that the file and its folder can be read and written, then start "
            "Dovrane again."));
    }
    box.setDetailedText(QString::fromStdString(failure.message));
    box.setDefaultButton(
        box.addButton(QCoreApplication::translate("dovrane::StartupProblem", "Quit"), QMessageBox::RejectRole));
    return result;
}

} // namespace dovrane::StartupProblem
