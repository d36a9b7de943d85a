// artgen: renders the skin's SVG sources into the PNG and JPEG files the program ships.
//
//   artgen MANIFEST SOURCE_DIR OUTPUT_DIR
//
// Each manifest line names a source, an output file and its size in pixels:
//   main-background.svg  skin/main-background.png  310x528
//   app-icon.svg         icons/ravik-32.png        32x32  scale
//   waitbg.svg           waitbg.jpg                230x98 quality=95
// A source must have exactly the output size unless the line says "scale". Lines starting
// with '#' and blank lines are ignored. The exit status is non-zero on the first failure.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <cstdio>

namespace {

struct Job {
    QString source;
    QString output;
    QSize size;
    bool scale = false;
    int quality = -1;
};

bool ParseLine(const QString& line, Job& job, QString& error) {
    const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 3) {
        error = QStringLiteral("expected SOURCE OUTPUT WxH");
        return false;
    }
    job.source = fields[0];
    job.output = fields[1];
    const QStringList wh = fields[2].split(QLatin1Char('x'));
    bool okW = false;
    bool okH = false;
    if (wh.size() == 2) {
        job.size = QSize(wh[0].toInt(&okW), wh[1].toInt(&okH));
    }
    if (!okW || !okH || job.size.isEmpty()) {
        error = QStringLiteral("bad size ") + fields[2];
        return false;
    }
    for (int i = 3; i < fields.size(); ++i) {
        if (fields[i] == QLatin1String("scale")) {
            job.scale = true;
        } else if (fields[i].startsWith(QLatin1String("quality="))) {
            job.quality = fields[i].mid(8).toInt();
        } else {
            error = QStringLiteral("unknown option ") + fields[i];
            return false;
        }
    }
    return true;
}

bool IsOpaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 255) {
                return false;
            }
        }
    }
    return true;
}

bool Render(const Job& job, const QDir& sources, const QDir& outputs, QString& error) {
    QSvgRenderer renderer(sources.filePath(job.source));
    if (!renderer.isValid()) {
        error = QStringLiteral("cannot read ") + job.source;
        return false;
    }
    if (!job.scale && renderer.defaultSize() != job.size) {
        error = QStringLiteral("%1 is %2x%3, expected %4x%5")
                    .arg(job.source)
                    .arg(renderer.defaultSize().width())
                    .arg(renderer.defaultSize().height())
                    .arg(job.size.width())
                    .arg(job.size.height());
        return false;
    }
    QImage image(job.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(job.size)));
    }
    const QString path = outputs.filePath(job.output);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool jpeg = path.endsWith(QLatin1String(".jpg"));
    // Opaque images are written without an alpha channel: the program then decodes them to
    // RGB32, which it draws without blending and without converting.
    const QImage out = jpeg || IsOpaque(image) ? image.convertToFormat(QImage::Format_RGB32)
                                               : image.convertToFormat(QImage::Format_ARGB32);
    if (!out.save(path, jpeg ? "JPEG" : "PNG", job.quality)) {
        error = QStringLiteral("cannot write ") + path;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Text in the sources needs the font database, which needs a GUI application; no window
    // is ever shown, so the offscreen platform serves everywhere.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: artgen MANIFEST SOURCE_DIR OUTPUT_DIR\n");
        return 2;
    }
    QFile manifest(args[1]);
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "artgen: cannot open %s\n", qPrintable(args[1]));
        return 1;
    }
    const QDir sources(args[2]);
    const QDir outputs(args[3]);
    QTextStream in(&manifest);
    int lineNumber = 0;
    int rendered = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        Job job;
        QString error;
        if (!ParseLine(line, job, error) || !Render(job, sources, outputs, error)) {
            std::fprintf(stderr, "artgen: %s:%d: %s\n", qPrintable(args[1]), lineNumber,
                         qPrintable(error));
            return 1;
        }
        ++rendered;
    }
    std::printf("artgen: %d images rendered\n", rendered);
    return 0;
}
