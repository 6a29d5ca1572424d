#include "dataset.h"
#include "codec.h"
#include "consiste.h"
#include "dispatch.h"

using wire::FieldKind;

TField::TField(TClientDataSet *ds, QString name, TFieldKind kind, int size)
    : m_ds(ds), m_name(std::move(name)), m_kind(kind), m_size(size)
{
    if (kind == TFieldKind::Float) Alignment = TAlignment::Right;
}

QVariant TField::Value() const
{
    if (m_ds->m_state == TDataSetState::Edit && m_ds->m_edited.value(m_index)) return m_ds->m_editBuffer.value(m_index);
    return m_ds->valueAt(m_ds->m_cur, m_index);
}

// A value as a field of this kind keeps it.
static QVariant storedValue(TFieldKind kind, int size, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) return v;
    switch (kind) {
    case TFieldKind::Float: return v.toDouble();
    case TFieldKind::DateTime:
        return v.typeId() == QMetaType::QDateTime ? QVariant(wire::toOleDate(v.toDateTime())) : QVariant(v.toDouble());
    case TFieldKind::FixedString: {
        QString s = v.toString();
        if (size > 0) s = s.leftJustified(size, QLatin1Char(' '), true);
        return s;
    }
    case TFieldKind::String: return v.toString();
    }
    return v;
}

void TField::SetValue(const QVariant &v)
{
    if (m_ds->m_state != TDataSetState::Edit)
        throw host::EHostError(QStringLiteral("A tabela não está em modo de edição."));
    m_ds->m_editBuffer[m_index] = storedValue(m_kind, m_size, v);
    m_ds->m_edited[m_index] = true;
}

bool TField::IsNull() const
{
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

QString TField::AsString() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull()) return {};
    if (m_kind == TFieldKind::DateTime) return DateTimeText(AsDateTime());
    if (m_kind == TFieldKind::Float) return DefaultText(v, false);
    return v.toString();
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    return v.isNull() ? 0.0 : v.toDouble();
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull()) return {};
    return wire::fromOleDate(v.toDouble());
}

void TField::SetAsString(const QString &s) { SetValue(s.isEmpty() && m_kind != TFieldKind::String ? QVariant() : QVariant(s)); }
void TField::SetAsFloat(double v) { SetValue(v); }
void TField::SetAsDateTime(const QDateTime &dt) { SetValue(dt.isValid() ? QVariant(dt) : QVariant()); }
void TField::Clear() { SetValue(QVariant()); }

QString TField::DefaultText(const QVariant &v, bool display) const
{
    if (!v.isValid() || v.isNull()) return {};
    switch (m_kind) {
    case TFieldKind::Float: {
        const double d = v.toDouble();
        if (display && !DisplayFormat.isEmpty()) return FormatFloat(DisplayFormat, d);
        QLocale loc = hostLocale();
        loc.setNumberOptions(QLocale::OmitGroupSeparator);
        return loc.toString(d, 'g', 15);
    }
    case TFieldKind::DateTime: {
        const QDateTime dt = wire::fromOleDate(v.toDouble());
        if (display && !DisplayFormat.isEmpty()) return dt.toString(DisplayFormat);
        return DateTimeText(dt);
    }
    default: {
        const QString s = v.toString();
        if (!EditMask.isEmpty() && !s.isEmpty()) return FormatMaskText(EditMask, s);
        return s;
    }
    }
}

QString TField::DisplayText() const
{
    QString t = DefaultText(Value(), true);
    if (OnGetText) OnGetText(const_cast<TField *>(this), t, true);
    return t;
}

QString TField::Text() const
{
    QString t = DefaultText(Value(), false);
    if (OnGetText) OnGetText(const_cast<TField *>(this), t, false);
    return t;
}

QString TField::DisplayTextAt(int row) const
{
    if (row == m_ds->m_cur || !OnGetText) {
        if (row == m_ds->m_cur) return DisplayText();
        return DefaultText(m_ds->valueAt(row, m_index), true);
    }
    // Handlers read the current row: paint other rows by moving there quietly.
    TClientDataSet *ds = m_ds;
    const int keep = ds->m_cur;
    ds->m_cur = row;
    QString t;
    try {
        t = DisplayText();
    } catch (...) {
        ds->m_cur = keep;
        throw;
    }
    ds->m_cur = keep;
    return t;
}

void TField::SetText(const QString &text)
{
    if (OnSetText) {
        OnSetText(this, text);
        return;
    }
    switch (m_kind) {
    case TFieldKind::Float: {
        bool ok = false;
        const double d = hostLocale().toDouble(text.trimmed(), &ok);
        if (text.trimmed().isEmpty()) { Clear(); return; }
        if (!ok) throw host::EHostError(QStringLiteral("'%1' não é um número válido.").arg(text));
        SetAsFloat(d);
        break;
    }
    case TFieldKind::DateTime: {
        if (EmptyString(text)) { Clear(); return; }
        const QDateTime dt = DateTimeFromText(text);
        if (!dt.isValid()) throw host::EHostError(QStringLiteral("'%1' não é uma data válida.").arg(text));
        SetAsDateTime(dt);
        break;
    }
    default: SetAsString(text);
    }
}

void presentFields(TClientDataSet *ds, std::initializer_list<TFieldLook> looks)
{
    for (TField *f : ds->Fields()) {
        f->Visible = false;
        f->DisplayLabel.clear();
    }
    for (const TFieldLook &l : looks) {
        TField *f = ds->FieldByName(QLatin1String(l.name));
        f->DisplayLabel = QString::fromUtf8(l.label);
        f->Visible = l.shown;
        f->DisplayFormat = l.format ? QString::fromUtf8(l.format) : QString();
        f->DisplayWidth = l.displayWidth;
    }
}

TClientDataSet::TClientDataSet(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
}

TClientDataSet::~TClientDataSet() = default;

TField *TClientDataSet::AddField(const QString &name, TFieldKind kind, int size, const QString &label,
                                 bool visible, const QString &displayFormat)
{
    auto f = std::make_unique<TField>(this, name, kind, size);
    f->m_index = int(m_fields.size());
    f->DisplayLabel = label;
    f->Visible = visible;
    f->DisplayFormat = displayFormat;
    m_fieldList.push_back(f.get());
    m_fields.push_back(std::move(f));
    return m_fieldList.back();
}

void TClientDataSet::AddFields(const QVector<wire::FieldDef> &layout)
{
    for (const wire::FieldDef &d : layout) AddField(d.name, d.kind, d.width);
}

QVector<wire::FieldDef> TClientDataSet::Layout() const
{
    QVector<wire::FieldDef> out;
    for (TField *f : m_fieldList) out.push_back({f->FieldName(), f->Kind(), f->Size()});
    return out;
}

TField *TClientDataSet::FindField(const QString &name) const
{
    for (TField *f : m_fieldList)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField *TClientDataSet::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name)) return f;
    throw host::EHostError(QStringLiteral("%1: campo '%2' não encontrado.").arg(objectName(), name));
}

void TClientDataSet::LoadFromPacket(const wire::DataPacket &p)
{
    // Map each declared field to its packet column before touching anything.
    QVector<int> src(m_fieldList.size(), -1);
    for (TField *f : m_fieldList) {
        const int i = p.indexOf(f->FieldName());
        if (i < 0)
            throw host::EHostError(QStringLiteral("%1: o pacote de dados não traz o campo '%2'.")
                                       .arg(objectName(), f->FieldName()));
        const FieldKind want = f->Kind();
        const FieldKind got = p.fields[i].kind;
        const bool textual = [](FieldKind k) { return k == FieldKind::String || k == FieldKind::FixedString; }(want);
        const bool gotText = got == FieldKind::String || got == FieldKind::FixedString;
        if (want != got && !(textual && gotText))
            throw host::EHostError(QStringLiteral("%1: o campo '%2' veio como %3, esperado %4.")
                                       .arg(objectName(), f->FieldName(), wire::kindName(got),
                                            wire::kindName(want)));
        // A text of another width is another layout: its values would not fit
        // (or not fill) the field the screen shows and the peers agree on.
        if (textual && p.fields[i].width != f->Size())
            throw host::EHostError(QStringLiteral("%1: o campo '%2' veio com %3 caracteres, esperados %4.")
                                       .arg(objectName(), f->FieldName())
                                       .arg(p.fields[i].width)
                                       .arg(f->Size()));
        src[f->Index()] = i;
    }
    // The packet's rows are kept as they came (shared, not copied); fields
    // find their cells through the map.
    m_rows = p.rows;
    m_cellOf = std::move(src);
    m_editBuffer.clear();
    setState(TDataSetState::Browse);
    notifyControls([this] { emit contentReset(); });
    if (AfterOpen) AfterOpen(this);
    moveTo(0, true);
}

void TClientDataSet::Close()
{
    m_rows.clear();
    m_editBuffer.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    setState(TDataSetState::Inactive);
    notifyControls([this] { emit contentReset(); });
}

void TClientDataSet::moveTo(int row, bool force)
{
    if (m_state == TDataSetState::Edit) Post();
    const int n = m_rows.size();
    m_bof = row < 0 || n == 0;
    m_eof = row >= n || n == 0;
    const int target = n == 0 ? -1 : std::clamp(row, 0, n - 1);
    if (target == m_cur && !force) return;
    m_cur = target;
    notifyControls([this] { emit currentChanged(m_cur); });
    if (AfterScroll) AfterScroll(this);
}

void TClientDataSet::First() { moveTo(0); }
void TClientDataSet::Last() { moveTo(m_rows.size() - 1); }
void TClientDataSet::Next()
{
    if (m_cur + 1 >= m_rows.size()) {
        if (m_state == TDataSetState::Edit) Post();
        m_eof = true;
        return;
    }
    moveTo(m_cur + 1);
}
void TClientDataSet::Prior()
{
    if (m_cur <= 0) { m_bof = true; return; }
    moveTo(m_cur - 1);
}
void TClientDataSet::SetRecNo(int row)
{
    if (row >= 0 && row < m_rows.size()) moveTo(row);
}

void TClientDataSet::Edit()
{
    if (m_state == TDataSetState::Edit) return;
    if (m_state == TDataSetState::Inactive || m_cur < 0)
        throw host::EHostError(QStringLiteral("%1: não há registro para editar.").arg(objectName()));
    // Only what is set is kept; the rest is read from the row.
    m_editBuffer = wire::Row(m_fieldList.size());
    m_edited.fill(false, m_fieldList.size());
    setState(TDataSetState::Edit);
}

void TClientDataSet::Post()
{
    if (m_state != TDataSetState::Edit) return;
    for (int k = 0; k < m_editBuffer.size() && k < m_cellOf.size(); ++k)
        if (m_edited.value(k) && m_cellOf[k] >= 0) m_rows.setValue(m_cur, m_cellOf[k], m_editBuffer[k]);
    m_editBuffer.clear();
    setState(TDataSetState::Browse);
    notifyControls([this] { emit rowChanged(m_cur); });
}

void TClientDataSet::Cancel()
{
    if (m_state != TDataSetState::Edit) return;
    m_editBuffer.clear();
    setState(TDataSetState::Browse);
}

QVariant TClientDataSet::valueAt(int row, int field) const
{
    if (row < 0 || row >= m_rows.size() || field < 0 || field >= m_cellOf.size()) return {};
    return m_rows.value(row, m_cellOf[field]);
}

void TClientDataSet::SetValueAt(int row, TField *field, const QVariant &v)
{
    if (row < 0 || row >= m_rows.size() || !field || field->m_ds != this || field->m_index >= m_cellOf.size())
        throw host::EHostError(QStringLiteral("%1: não há esse registro ou campo.").arg(objectName()));
    if (m_state == TDataSetState::Edit && row == m_cur)
        throw host::EHostError(QStringLiteral("%1: o registro está em edição.").arg(objectName()));
    if (m_cellOf[field->m_index] < 0) return;
    m_rows.setValue(row, m_cellOf[field->m_index], storedValue(field->m_kind, field->m_size, v));
    notifyControls([this, row] { emit rowChanged(row); });
}

QByteArrayView TClientDataSet::utf8At(int row, int field, bool *text) const
{
    *text = false;
    if (row < 0 || row >= m_rows.size() || field < 0 || field >= m_cellOf.size()) return {};
    if (m_state == TDataSetState::Edit && row == m_cur) return {};
    return m_rows.utf8(row, m_cellOf[field], text);
}

void TClientDataSet::DisableControls() { ++m_controlsOff; }

void TClientDataSet::EnableControls()
{
    if (m_controlsOff == 0 || --m_controlsOff > 0 || !std::exchange(m_controlsMissed, false)) return;
    emit contentReset();
    emit stateChanged();
    emit currentChanged(m_cur);
}

void TClientDataSet::notifyControls(const std::function<void()> &tell)
{
    if (m_controlsOff > 0) m_controlsMissed = true;
    else tell();
}

void TClientDataSet::setState(TDataSetState s)
{
    if (m_state == s) return;
    m_state = s;
    notifyControls([this] { emit stateChanged(); });
}
