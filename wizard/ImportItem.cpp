#include "wizard/ImportItem.h"

ImportItem::ImportItem(const QString& key, const QString& text)
    : Key(key)
    , Text(text)
{
}

const ImportItemField* ImportItem::find(const QString& key) const
{
    for (const ImportItemField& f : m_fields)
        if (f.key == key)
            return &f;
    return nullptr;
}

ImportItemField* ImportItem::find(const QString& key)
{
    return const_cast<ImportItemField*>(std::as_const(*this).find(key));
}

ImportItemField& ImportItem::fieldFor(const QString& key)
{
    if (ImportItemField* f = find(key))
        return *f;
    m_fields.append(ImportItemField{key, {}, {}, false});
    return m_fields.last();
}

QString ImportItem::field(const QString& key) const
{
    const ImportItemField* f = find(key);
    return f ? f->text : QString();
}

bool ImportItem::hasField(const QString& key) const { return find(key) != nullptr; }

void ImportItem::setField(const QString& key, const QString& text) { fieldFor(key).text = text; }

QString ImportItem::fieldToolTip(const QString& key) const
{
    const ImportItemField* f = find(key);
    return f ? f->toolTip : QString();
}

void ImportItem::setFieldToolTip(const QString& key, const QString& toolTip) { fieldFor(key).toolTip = toolTip; }

bool ImportItem::fieldEmphasised(const QString& key) const
{
    const ImportItemField* f = find(key);
    return f && f->emphasised;
}

void ImportItem::setFieldEmphasised(const QString& key, bool emphasised) { fieldFor(key).emphasised = emphasised; }

QString ImportItem::subItem(int position) const
{
    if (position == 0)
        return Text;
    return position > 0 && position <= m_fields.size() ? m_fields.at(position - 1).text : QString();
}

void ImportItem::setSubItem(int position, const QString& text)
{
    if (position == 0)
        Text = text;
    else if (position > 0 && position <= m_fields.size())
        m_fields[position - 1].text = text;
}
