#pragma once
// A finished scan's pictures, made once and drawn many times (window, print,
// file): the Delta of each locus against its null, WC against He, and, for
// data with positions, -log10 q along the chromosomes. Each picture's items
// map back to the scan's loci, so a pointer on a picture names a locus.
#include <cstddef>
#include <string>
#include <vector>

#include "scan/plot.h"
#include "scan/plothit.h"
#include "scan/qplot.h"
#include "scan/wcheplot.h"

namespace dw::scan {

enum class PictureKind { Delta, WcHe, Q };

struct ScanPictures {
  ScanPlot delta;
  std::vector<std::size_t> deltaLoci;  // the scan's locus of each of delta.loci
  WcHePlot wcHe;
  QPlot q;
  bool hasPositions = false;  // the q picture applies
};

ScanPictures PicturesOf(const ScanSummary& s);

// The pictures a scan offers, in the order a chooser lists them.
std::vector<PictureKind> PicturesOffered(const ScanPictures& p);
// "Delta by locus", "WC against He", "-log10 q along the chromosomes".
const char* PictureName(PictureKind kind);

// Draws the picture over `area`; returns where its loci are (PlotMark::item
// indexes the picture's own list; LocusOfItem maps it to the scan's).
std::vector<PlotMark> DrawPicture(const ScanPictures& p, PictureKind kind, chart::Canvas& canvas,
                                  const chart::Rect& area);
std::size_t LocusOfItem(const ScanPictures& p, PictureKind kind, std::size_t item);
// The title the picture draws, whose width it needs to show whole.
const std::string& PictureTitle(const ScanPictures& p, PictureKind kind);

// The size a file of the picture gets when none is asked for: the Delta
// picture ScanPlotSize, WC against He 960 × 600, the q picture QPlotSize.
PlotSize DefaultPictureSize(const ScanPictures& p, PictureKind kind);

}  // namespace dw::scan
