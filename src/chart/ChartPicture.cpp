#include "chart/ChartPicture.h"

#include "chart/StormChart.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <cstring>
#include <new>

namespace {

// Qt answers a picture it has no memory for with an empty image: that is
// running out of memory, said with the picture's size, not a picture to save.
[[noreturn]] void pictureTooLarge(QSize size)
{
    throw PluvionError(QStringLiteral("内存不足，无法画出 %1×%2 像素的图片：图片太大。")
                           .arg(size.width())
                           .arg(size.height()),
                       PluvionErrorKind::OutOfMemory);
}

RgbImage ToRgbImage(const QImage &source)
{
    if (source.isNull())
        pictureTooLarge(source.size());
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        pictureTooLarge(source.size());
    RgbImage picture;
    picture.width = image.width();
    picture.height = image.height();
    const qsizetype rowBytes = qsizetype(image.width()) * 3;
    picture.pixels.resize(rowBytes * image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(picture.pixels.data() + y * rowBytes, image.constScanLine(y), size_t(rowBytes));
    return picture;
}

} // namespace

RgbImage GrabChart(QWidget *chart)
{
    return ToRgbImage(chart->grab().toImage());
}

RgbImage RenderChart(const ChartScene &scene, QSize size)
{
    StormChart chart;
    chart.prepareOffScreen(size);
    // The scene outlives the chart drawn from it: its rows are lent, not copied.
    chart.setPoints(std::shared_ptr<const RainPoints>(&scene.points, [](const RainPoints *) {}), scene.end);
    chart.overallSeries()->setVisible(scene.barsShown);
    chart.intensitySeries()->setVisible(scene.lineShown);
    chart.setLeftMaximum(scene.leftMaximum);
    chart.setRightMaximum(scene.rightMaximum);
    for (int i = 0; i < StormChart::ValueLabelCount && i < scene.labels.size(); ++i) {
        QLabel *label = chart.valueLabel(i);
        chart.setValueLabelText(i, scene.labels[i].text);
        if (scene.labels[i].place)
            chart.moveValueLabel(i, *scene.labels[i].place);
        label->setVisible(scene.labels[i].visible);
    }
    return RenderOffScreen(chart);
}

RgbImage RenderOffScreen(QCustomPlot &chart)
{
    // Text the fonts at hand cannot draw (no Chinese font, or no memory left
    // to load one) would come out as empty boxes: such a picture is refused.
    for (const QCPAxis *axis : chart.axisRect()->axes()) {
        const QFontMetrics metrics(axis->labelFont());
        for (const char32_t c : axis->label().toUcs4()) {
            if (!metrics.inFontUcs4(c))
                throw PluvionError(
                    QStringLiteral("无法画出图中的文字“%1”：系统缺少中文字体，或内存不足以载入字体。")
                        .arg(axis->label()));
        }
    }
    chart.show();
    chart.replot(QCustomPlot::rpImmediateRefresh);
    // What grab() does, at a device pixel ratio of 1 whatever the screen's.
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        pictureTooLarge(chart.size());
    image.fill(Qt::transparent);
    chart.render(&image, QPoint(), QRegion(),
                 QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    return ToRgbImage(image);
}

ChartScene StormScene(const RainPoints &points, const Storm &storm, int precision, const Separators &sep)
{
    ChartScene scene;
    scene.points = points;
    scene.end = storm.duration;
    if (!points.empty()) {
        const AxisMaxima maxima = ScaledAxisMaxima(SeriesPeaksOf(points), true, true, {});
        scene.leftMaximum = maxima.left;
        scene.rightMaximum = maxima.right;
    }
    const auto texts = LabelTexts(storm, precision, sep);
    for (int i = 0; i < 5; ++i)
        scene.labels.append({texts[size_t(i)], std::nullopt, true});
    scene.labels.append({FormulaDepthText(storm, precision, sep), std::nullopt, true});
    return scene;
}
