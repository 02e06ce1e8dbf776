#include "UiTestMain.h"

class StorageGraphicsTests : public QObject {
    Q_OBJECT
private slots:
    void nothing() {}
};

DOVRANE_UI_TEST_MAIN(StorageGraphicsTests)
#include "StorageGraphicsTests.moc"
