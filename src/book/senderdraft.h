#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class Dataset;

// The sender's values as the sender page and the design surface show and
// edit them: the sender row's, with what was typed over them until it is
// saved or given up. Both places hold the one draft, so what is typed in
// one shows in the other. save() is the one write path of the sender row.
class SenderDraft : public QObject
{
    Q_OBJECT
public:
    explicit SenderDraft(Dataset* sender, QObject* parent = nullptr);

    // A column's value: the typed one, else the row's (empty without a row).
    QString value(const QString& column) const;
    // Typed over the row's value; the same text as the row's is no change.
    void setValue(const QString& column, const QString& text);
    // Typed values not saved yet.
    bool isModified() const { return !m_typed.isEmpty(); }

    // Writes the typed values into the sender row, a new row when the table
    // has none. Throws DataError; the typed values then stay.
    void save();
    // Gives up the typed values: the row's show again.
    void cancel();

Q_SIGNALS:
    // The value of that column changed; an empty column stands for every one.
    void changed(const QString& column);

private:
    QString stored(const QString& column) const;

    Dataset* m_sender;
    QHash<QString, QString> m_typed;
};
