#pragma once
// In-memory table loaded from data packets, with typed fields and a cursor.
#include "host_export.h"
#include "datapacket.h"
#include <QDateTime>
#include <QObject>
#include <QVector>
#include <functional>
#include <memory>

class TClientDataSet;

// A field holds what a packet column of the same kind carries.
using TFieldKind = wire::FieldKind;
enum class TAlignment { Left, Right, Center };
enum class TDataSetState { Inactive, Browse, Edit };

class HOST_EXPORT TField {
public:
    using GetTextFn = std::function<void(TField *sender, QString &text, bool displayText)>;
    using SetTextFn = std::function<void(TField *sender, const QString &text)>;

    TField(TClientDataSet *ds, QString name, TFieldKind kind, int size);

    const QString &FieldName() const { return m_name; }
    TFieldKind Kind() const { return m_kind; }
    int Size() const { return m_size; }
    int Index() const { return m_index; }
    TClientDataSet *DataSet() const { return m_ds; }

    QString DisplayLabel;   // empty: the field name is the default title
    QString DisplayFormat;  // "#,##0.00" style for floats; date format for dates
    QString EditMask;       // edit mask; texts are shown laid out by it
    int DisplayWidth = 0;   // characters shown in lists; 0: the field's size
    bool Visible = true;
    TAlignment Alignment = TAlignment::Left;
    GetTextFn OnGetText;
    SetTextFn OnSetText;

    QString Label() const { return DisplayLabel.isEmpty() ? m_name : DisplayLabel; }

    // Value of the current row.
    QVariant Value() const;
    void SetValue(const QVariant &v);  // needs edit state
    bool IsNull() const;
    QString AsString() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;  // invalid when empty
    void SetAsString(const QString &s);
    void SetAsFloat(double v);
    void SetAsDateTime(const QDateTime &dt);
    void Clear();

    // Text of the current row (through OnGetText when set).
    QString DisplayText() const;
    QString Text() const;
    // Stores a text (through OnSetText when set).
    void SetText(const QString &text);

    // Text of a given row, for grids.
    QString DisplayTextAt(int row) const;
    // Default text of a value, without handlers.
    QString DefaultText(const QVariant &v, bool display) const;

private:
    friend class TClientDataSet;
    TClientDataSet *m_ds;
    QString m_name;
    TFieldKind m_kind;
    int m_size;
    int m_index = -1;
};

// How a screen shows a field of a packet layout.
struct TFieldLook {
    const char *name;
    const char *label;
    bool shown;
    const char *format = nullptr;
    int displayWidth = 0;
};
// Applies the looks; fields not named are hidden and keep no label.
HOST_EXPORT void presentFields(TClientDataSet *ds, std::initializer_list<TFieldLook> looks);

class HOST_EXPORT TClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject *parent = nullptr, const QString &name = {});
    ~TClientDataSet() override;

    TField *AddField(const QString &name, TFieldKind kind, int size = 0, const QString &label = {},
                     bool visible = true, const QString &displayFormat = {});
    // Declares the fields of a packet layout, in its order.
    void AddFields(const QVector<wire::FieldDef> &layout);
    // The fields as a packet layout.
    QVector<wire::FieldDef> Layout() const;
    TField *FieldByName(const QString &name) const;   // throws EHostError when absent
    TField *FindField(const QString &name) const;
    const QVector<TField *> &Fields() const { return m_fieldList; }

    // Replaces the whole content. A packet lacking a declared field or giving
    // it another kind is refused with EHostError and the old rows stay.
    void LoadFromPacket(const wire::DataPacket &p);
    void Close();
    bool Active() const { return m_state != TDataSetState::Inactive; }
    TDataSetState State() const { return m_state; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const { return m_rows.isEmpty(); }
    int RecordCount() const { return m_rows.size(); }
    int RecNo() const { return m_cur; }   // 0-based, -1 when empty
    void SetRecNo(int row);

    void Edit();
    void Post();
    void Cancel();

    // While disabled (calls nest), the bound controls hear nothing; enabling
    // again refreshes them once with the content and the current row.
    // AfterScroll still runs on every move.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_controlsOff > 0; }

    QVariant valueAt(int row, int field) const;
    // Writes one stored value of a row, as Edit, a field's SetValue and Post
    // would, without moving to the row or changing the state: for code that
    // rewrites many rows. Refused (EHostError) for the row being edited.
    void SetValueAt(int row, TField *field, const QVariant &v);
    // A stored text's UTF-8, for writing many rows out without converting each
    // text twice; *text false when the cell holds no text or the row is being edited.
    QByteArrayView utf8At(int row, int field, bool *text) const;

    std::function<void(TClientDataSet *)> AfterScroll;
    std::function<void(TClientDataSet *)> AfterOpen;

signals:
    void contentReset();
    void rowChanged(int row);
    void currentChanged(int row);
    void stateChanged();

private:
    friend class TField;
    void moveTo(int row, bool force = false);
    void setState(TDataSetState s);
    void notifyControls(const std::function<void()> &tell);
    QVector<TField *> m_fieldList;
    std::vector<std::unique_ptr<TField>> m_fields;
    wire::Rows m_rows;       // as the packet brought them, shared with it
    QVector<int> m_cellOf;   // each field's cell in those rows
    wire::Row m_editBuffer;  // in field order
    QVector<bool> m_edited;  // the fields set since Edit
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    TDataSetState m_state = TDataSetState::Inactive;
    int m_controlsOff = 0;
    bool m_controlsMissed = false;
};
