// Drags the files named on its command line out of its window, as a file manager does: the
// end-to-end tests press on it and let go over the clock, so the drop comes by XDND from another
// program.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>

class Source : public QWidget {
protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* files = new QMimeData;
        QList<QUrl> urls;
        for (const QString& file : QApplication::arguments().mid(1))
            urls << QUrl::fromLocalFile(file);
        files->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(files);
        const int status = drag->exec(Qt::CopyAction) == Qt::CopyAction ? 0 : 1;
        // The target asks for the data after the drop: a source that is gone cannot answer.
        QTimer::singleShot(3000, [status] { QApplication::exit(status); });
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Source source;
    source.setWindowTitle(QStringLiteral("drag source"));
    source.setGeometry(600, 500, 120, 120);
    source.show();
    return app.exec();
}
