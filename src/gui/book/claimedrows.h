#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class DataModule;

// The recipient rows other stations are printing now, on a server several
// stations share, as the grid shows them: read again at each refresh() and,
// in server mode, every quarter of a lease, since claims come and go
// without the grid's rows changing. Nothing is held on a file.
class ClaimedRows : public QObject
{
    Q_OBJECT
public:
    // claimant: this process's own claims are never another station's.
    ClaimedRows(DataModule* dm, const QString& claimant, int leaseSeconds,
                QObject* parent = nullptr);

    // The station printing the row with that ID, empty when none is.
    QString stationOf(qint64 rowId) const { return m_stations.value(rowId); }
    bool isHeld(qint64 rowId) const { return m_stations.contains(rowId); }
    // "正在由 3号台 打印"
    static QString heldText(const QString& station);

public Q_SLOTS:
    // Reads the live claims again; a server out of reach shows none.
    void refresh();

Q_SIGNALS:
    void changed();

private:
    DataModule* m_dm;
    QString m_claimant;
    QHash<qint64, QString> m_stations;
    QTimer m_timer;
};
