#pragma once

// The playlist list box: one media file path per line, in insertion order, at most one
// line selected. Lines are reordered by dragging one onto another: pressing a line selects
// it, a move past the drag threshold drags it, and only drags that started in this list
// are accepted.

#include <QListWidget>

class TPlayListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TPlayListBox(QWidget* parent = nullptr);

    // The selected line, -1 for none. Selecting -1 leaves no line selected.
    int SelectedIndex() const;
    void SetSelectedIndex(int index);

    // The text of the selected line; with none selected, the list's index error.
    QString SelectedLine() const;
    // The path of the file the selected line names (MakeOpenablePath), or the same error.
    QString SelectedFilePath() const;
    // The path of the file line `index` names (MakeOpenablePath).
    QString FilePathAt(int index) const;

    // Lines as text; text given is kept as UTF-8.
    QStringList Lines() const;
    void SetLines(const QStringList& lines);
    void AppendLines(const QStringList& lines);
    // Lines as their exact bytes, which every line keeps (shown as LineText).
    QList<QByteArray> LineBytes() const;
    void SetLineBytes(const QList<QByteArray>& lines);
    void AppendLineBytes(const QList<QByteArray>& lines);
    // The same in two steps, the first of which may run on a worker: the lines' texts (and
    // the bytes of those that are not UTF-8), then their going in.
    struct TPreparedLines {
        QStringList Texts;
        QList<QPair<qsizetype, QByteArray>> Bytes; // by index among the texts
    };
    static TPreparedLines PrepareLineBytes(const QList<QByteArray>& lines);
    void AppendPrepared(const TPreparedLines& lines);

    // A drag over the list is accepted only when it comes from the list itself.
    bool PlayListDragOver(const QObject* source) const;
    // Moves the selected line to the line under pos (the end when pos lies below the last
    // line); the moved line stays selected. Nothing moves without a selected line.
    void PlayListDragDrop(const QObject* source, const QPoint& pos);

    // The target of a drop at pos: a line index, or Count() for "the end".
    int DropTarget(const QPoint& pos) const;
    // Moves line from onto the place of line to (to == count(): to the end).
    void MoveLine(int from, int to);

    static constexpr int BytesRole = Qt::UserRole + 1;
    static QByteArray BytesOf(const QListWidgetItem* line);

Q_SIGNALS:
    // A double-click anywhere in the list, on a line or not.
    void DblClick();
    // Enter or Return on a selected line.
    void EnterPressed();

protected:
    // The selected line's item; with none selected, the list's index error.
    QListWidgetItem* SelectedItem() const;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
