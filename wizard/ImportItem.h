#pragma once
#include <QList>
#include <QString>

// One field of a row, addressed by its key. The list shows it in the column
// of the same key; fields without a column travel hidden with the row.
struct ImportItemField {
    QString key;
    QString text;
    QString toolTip;
    bool emphasised = false; // shown red and bold: a value that is missing and matters
};

// One row of the file list, the CD track list or the summary: a key that is
// unique within its list, a tick, a main text and keyed text fields. Every
// field is text; only the parts that use a field give it a meaning.
class ImportItem
{
public:
    ImportItem() = default;
    ImportItem(const QString& key, const QString& text);

    QString Key;
    QString Text; // the tag text of a file or track row, the source of a summary row
    bool Checked = false;

    // The field's text, empty when the row has no such field.
    QString field(const QString& key) const;
    bool hasField(const QString& key) const;
    // Replaces the field's text, or adds the field after the others.
    void setField(const QString& key, const QString& text);
    QString fieldToolTip(const QString& key) const;
    void setFieldToolTip(const QString& key, const QString& toolTip);
    bool fieldEmphasised(const QString& key) const;
    void setFieldEmphasised(const QString& key, bool emphasised);
    const QList<ImportItemField>& fields() const { return m_fields; }

    // Fields by position: 0 is the main text, 1 onwards the keyed fields in
    // the order they were added. Sorting and title writing count this way.
    QString subItem(int position) const;
    // Writing past the last field changes nothing.
    void setSubItem(int position, const QString& text);

private:
    ImportItemField* find(const QString& key);
    const ImportItemField* find(const QString& key) const;
    ImportItemField& fieldFor(const QString& key);

    QList<ImportItemField> m_fields;
};
