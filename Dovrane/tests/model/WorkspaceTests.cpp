#include "support/ModelTestMain.h"
#include <QTest>
class WorkspaceTests : public QObject {
    Q_OBJECT
};
DOVRANE_MODEL_SUITE(WorkspaceTests)
#include "WorkspaceTests.moc"
