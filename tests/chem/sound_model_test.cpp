// The sound model: a structure perceived the same whatever Kekulé form was
// drawn, packed graphs that refuse bytes that are no graph, and which
// queries our matcher takes and which stay RDKit's.
#include <gtest/gtest.h>
#include <zlib.h>

#include "chem/perceive.h"
#include "chem/similarity.h"
#include "chem/sound_query.h"
#include "support/mol_text.h"

namespace vuduzez::chem {
namespace {

using testing::MolText;

TEST(SoundModel, TwoKekuleFormsArePerceivedAlike) {
  const std::string a = MolText("a", {"C", "C", "C", "C", "C", "C", "O"},
                                {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {1, 7}});
  const std::string b = MolText("b", {"C", "C", "C", "C", "C", "C", "O"},
                                {{1, 2}, {2, 3, 2}, {3, 4}, {4, 5, 2}, {5, 6}, {6, 1, 2}, {1, 7}});
  const PerceivedRecord pa = PerceiveRecord(a), pb = PerceiveRecord(b);
  ASSERT_EQ(pa.status, RecordStatus::kOk) << pa.reason;
  EXPECT_EQ(pa.graph, pb.graph);
  EXPECT_EQ(pa.fingerprint, pb.fingerprint);
  // The similarity print too, and that of the same drawn with its hydrogen
  // on O as an atom (RDKit's default reading removes it).
  EXPECT_EQ(pa.similarity, pb.similarity);
  const std::string withH =
      MolText("h", {"C", "C", "C", "C", "C", "C", "O", "H"},
              {{1, 2, 2}, {2, 3}, {3, 4, 2}, {4, 5}, {5, 6, 2}, {6, 1}, {1, 7}, {7, 8}});
  EXPECT_EQ(PerceiveRecord(withH).similarity, pa.similarity);
  EXPECT_EQ(SimilarityQueryOf(QueryForm::kSmiles, "Oc1ccccc1 phenol").print, pa.similarity);
  EXPECT_EQ(pa.similarity.size(), 11u);  // RDKit's count for phenol
  GraphView g;
  ASSERT_TRUE(g.Parse(pa.graph));
  EXPECT_EQ(g.atoms(), 7);
  EXPECT_TRUE(g.Aromatic(0));
  EXPECT_EQ(g.Hydrogens(6), 1);  // phenol's OH
  EXPECT_EQ(g.Rings(0), 1);
  EXPECT_EQ(g.RingSizes(0), 1u << 6);
  // A charged atom keeps its charge; RDKit's refusal gives its reason.
  const PerceivedRecord bad =
      PerceiveRecord(MolText("x", testing::Atoms(6), {{1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}}));
  EXPECT_EQ(bad.status, RecordStatus::kRefused);
  EXPECT_NE(bad.reason.find("valence"), std::string::npos);
}

TEST(SoundModel, AGzipCompressedMolFileIsReadAsWhatItHolds) {
  const std::string text = MolText("k", {"C", "C", "O"}, {{1, 2}, {2, 3, 2}});
  std::string packed(compressBound(text.size()) + 32, '\0');
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY), Z_OK);  // gzip framing
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(packed.data());
  z.avail_out = static_cast<uInt>(packed.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  packed.resize(z.total_out);
  deflateEnd(&z);
  EXPECT_EQ(PerceiveRecord(packed).graph, PerceiveRecord(text).graph);
  EXPECT_EQ(PerceiveRecord(packed.substr(0, packed.size() / 2)).status, RecordStatus::kRefused);
}

TEST(SoundModel, AGraphRefusesBytesThatAreNoGraph) {
  const PerceivedRecord p = PerceiveRecord(MolText("k", {"C", "C", "O"}, {{1, 2}, {2, 3, 2}}));
  ASSERT_EQ(p.status, RecordStatus::kOk);
  GraphView g;
  ASSERT_TRUE(g.Parse(p.graph));
  EXPECT_FALSE(g.Parse(p.graph.substr(0, p.graph.size() - 1)));
  EXPECT_FALSE(g.Parse(""));
  std::string bad = p.graph;
  bad[kGraphHeader + kAtomBytes * 3 + 2 * 4] = 9;  // the first neighbour beyond the atoms
  EXPECT_FALSE(g.Parse(bad));
}

TEST(SoundModel, WhatOurMatcherTakesAndWhatStaysRdkits) {
  const auto own = [](QueryForm form, const char* text, bool chiral = false) {
    const QueryResult q = CompileQuery(form, text, chiral);
    EXPECT_TRUE(q.query) << text << ": " << q.error;
    return q.query && q.query->ownMatcher;
  };
  EXPECT_TRUE(own(QueryForm::kSmarts, "[$([CX3]=O);!R]-[#7,#8;H1,H0&+0]"));
  EXPECT_TRUE(own(QueryForm::kSmarts, "[C;D{2-3}]~[#6;x2;r6]"));
  EXPECT_TRUE(own(QueryForm::kSmiles, "C[C@H](N)C(=O)O"));  // stereo ignored unless asked
  EXPECT_FALSE(own(QueryForm::kSmiles, "C[C@H](N)C(=O)O", true));
  EXPECT_FALSE(own(QueryForm::kSmiles, "[NH3]->[Cu]"));   // a dative bond's direction
  EXPECT_TRUE(own(QueryForm::kSmiles, "CC(=O)O", true));  // nothing stereo to match
}

}  // namespace
}  // namespace vuduzez::chem
