// SPDX-License-Identifier: GPL-3.0-or-later
// Export Graph: writes a chart to a PNG, SVG or PDF file, in the printout's
// black-on-white look or as the screen shows it, and the dialog that asks where.
#pragma once

#include <QSize>
#include <QString>

#include <optional>

class QWidget;

namespace vandrel {

class MeterChart;

enum class GraphFileKind { Png, Svg, Pdf };
enum class GraphLook { Printout, Screen };

// The kind of file a name asks for by its extension (any case); nothing for
// any other extension or none.
std::optional<GraphFileKind> graphFileKind(const QString &path);

// Writes `chart` to `path` as the kind its extension names, `size` pixels
// large (the chart's own size when empty). An existing file is replaced only
// once the new one is complete. The chart looks as before afterwards.
// Returns an empty text when written, else what went wrong.
QString exportGraph(MeterChart &chart, const QString &path, GraphLook look, QSize size = {});

struct GraphExportChoice {
    QString path;
    GraphLook look = GraphLook::Printout;
};

// The save dialog with the file kinds and the choice of look; `name` is the
// suggested file name without extension. Nothing when cancelled.
// `lastFolder` (may be null): where the dialog starts, and then the folder chosen.
std::optional<GraphExportChoice> askGraphExport(QWidget *parent, const QString &name, QString *lastFolder = nullptr);

// The command: asks, writes, and tells the user when writing failed. A null
// chart does nothing. True when a file was written.
bool ExportGraphWithDialog(QWidget *parent, MeterChart *chart, const QString &name, QString *lastFolder = nullptr);

} // namespace vandrel
