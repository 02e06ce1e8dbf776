#include "support/ModelTestMain.h"
#include <QTest>
class NotifierTests : public QObject {
    Q_OBJECT
};
DOVRANE_MODEL_SUITE(NotifierTests)
#include "NotifierTests.moc"
