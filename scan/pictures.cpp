#include "scan/pictures.h"

namespace dw::scan {

ScanPictures PicturesOf(const ScanSummary& s) {
  ScanPictures p;
  p.delta = PlotOf(s);
  p.deltaLoci = DeltaPlotLoci(s);
  p.wcHe = WcHePlotOf(s);
  p.hasPositions = s.hasPositions;
  if (p.hasPositions) p.q = QPlotOf(s);
  return p;
}

std::vector<PictureKind> PicturesOffered(const ScanPictures& p) {
  std::vector<PictureKind> kinds{PictureKind::Delta, PictureKind::WcHe};
  if (p.hasPositions) kinds.push_back(PictureKind::Q);
  return kinds;
}

const char* PictureName(PictureKind kind) {
  switch (kind) {
    case PictureKind::Delta: return "Delta by locus";
    case PictureKind::WcHe: return "WC against He";
    case PictureKind::Q: return "-log10 q along the chromosomes";
  }
  return "";
}

std::vector<PlotMark> DrawPicture(const ScanPictures& p, PictureKind kind, chart::Canvas& canvas,
                                  const chart::Rect& area) {
  switch (kind) {
    case PictureKind::Delta: return DrawScanPlot(p.delta, canvas, area);
    case PictureKind::WcHe: return DrawWcHePlot(p.wcHe, canvas, area);
    case PictureKind::Q: return DrawQPlot(p.q, canvas, area);
  }
  return {};
}

std::size_t LocusOfItem(const ScanPictures& p, PictureKind kind, std::size_t item) {
  switch (kind) {
    case PictureKind::Delta: return p.deltaLoci.at(item);
    case PictureKind::WcHe: return p.wcHe.loci.at(item).locus;
    case PictureKind::Q: return p.q.loci.at(item).locus;
  }
  return 0;
}

const std::string& PictureTitle(const ScanPictures& p, PictureKind kind) {
  switch (kind) {
    case PictureKind::Delta: return p.delta.title;
    case PictureKind::WcHe: return p.wcHe.title;
    case PictureKind::Q: return p.q.title;
  }
  return p.delta.title;
}

PlotSize DefaultPictureSize(const ScanPictures& p, PictureKind kind) {
  switch (kind) {
    case PictureKind::Delta: return ScanPlotSize(p.delta);
    case PictureKind::WcHe: return {960, 600};
    case PictureKind::Q: return QPlotSize(p.q);
  }
  return {720, 480};
}

}  // namespace dw::scan
