#pragma once
// VCF, BCF and gzip files for tests, written through htslib's own writers
// from a VCF text, so that the reader meets what other tools write.
#include <htslib/bgzf.h>
#include <htslib/vcf.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/files.h"

namespace dw::test {

// `text` compressed with gzip ("wg": plain gzip; "w": BGZF).
inline void WriteCompressed(const std::string& path, const std::string& text,
                            const char* mode = "wg") {
  BGZF* file = bgzf_open(path.c_str(), mode);
  ASSERT_NE(file, nullptr) << path;
  ASSERT_EQ(bgzf_write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ASSERT_EQ(bgzf_close(file), 0);
}

// The VCF text rewritten by htslib in `mode`: "wb" BCF, "wz" bgzip VCF, "wg" gzip VCF.
inline void WriteThroughHtslib(const std::string& path, const std::string& vcfText,
                               const char* mode) {
  const std::string source = path + ".source.vcf";
  WriteBytes(source, vcfText);
  htsFile* in = hts_open(source.c_str(), "r");
  ASSERT_NE(in, nullptr);
  bcf_hdr_t* header = bcf_hdr_read(in);
  ASSERT_NE(header, nullptr);
  htsFile* out = hts_open(path.c_str(), mode);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(bcf_hdr_write(out, header), 0);
  bcf1_t* record = bcf_init();
  while (bcf_read(in, header, record) == 0) ASSERT_EQ(bcf_write(out, header, record), 0);
  bcf_destroy(record);
  hts_close(out);
  bcf_hdr_destroy(header);
  hts_close(in);
  std::remove(source.c_str());
}

}  // namespace dw::test
