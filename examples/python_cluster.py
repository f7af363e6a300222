"""Clusters the example data set from Python and checks the clusters against its truth table.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python_cluster.py [OUTDIR]

The spectra go to speclink.cluster as Python objects; any source that gives m/z and
intensity arrays with a precursor m/z and a charge would do (pymzml, pyteomics, matchms).
"""
import collections
import pathlib
import sys

import speclink

here = pathlib.Path(__file__).resolve().parent
spectra = speclink.read(here / "simulated.mgf")
truth = {}  # title -> peptide and modification
for line in (here / "simulated.truth.tsv").read_text().splitlines()[1:]:
    fields = line.split("\t")
    truth[fields[1]] = fields[4] + fields[5]

result = speclink.cluster(spectra, threshold=0.6, precursor_tol="20ppm")
members = collections.defaultdict(list)
for spectrum, label in zip(spectra, result.labels):
    members[label].append(truth.get(spectrum.title, "?"))
clustered = [peptides for peptides in members.values() if len(peptides) > 1]
pure = sum(len(set(peptides)) == 1 for peptides in clustered)
print(f"{len(spectra)} spectra in {result.clusters} clusters; {len(clustered)} of two or more, {pure} of them "
      f"of one peptide; {len(result.consensus)} consensus spectra")

if len(sys.argv) > 1:
    result.write(sys.argv[1])
    print(f"clusters.csv, clusters.tsv and consensus.mgf written to {sys.argv[1]}")
