#pragma once
// The task list control: a report-style list that, while it has no rows,
// says in its viewport how to fill it.

#include <QTreeWidget>

class TTaskListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TTaskListView(QWidget *parent = nullptr);
    ~TTaskListView() override;

    static QString EmptyHint();
    // The column headers in the designed colours, or the palette's when it is dark.
    void ApplyHeaderLook();

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FollowRowCount();
};
