// Model files: one file of 150 tables of ten columns each (in 15 folders)
// applied to a new, empty model (read, matched, written, checked again and
// committed: the goal is 2 s), the same file applied again to the model it
// made (nothing to change), and the model exported.
//
// `bench_modelfile --peak-rows=N` instead reads the largest hostile text
// of shape N (see hostileText) that the reader takes in, and prints the
// peak memory the read added: what bounds the memory of any read.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "BenchPlatform.h"
#include "MRDSession.h"
#include "M_EntityModelDAO.h"
#include "MeridianNew.h"
#include "MetaDataManager.h"
#include "ModelApply.h"
#include "ModelExport.h"
#include "ModelFile.h"

using namespace MeridianSpace;
using arxbench::benchProject;
using arxbench::must;

namespace {

constexpr int kTypes[10] = {1, 2, 2, 3, 1, 2, 1, 2, 3, 2};

// A model file of `tables` new tables of ten columns, ten tables a folder,
// each table after the first referring to the one before it.
const std::string& fileText(int tables) {
    static std::string text;
    if (!text.empty()) return text;
    ModelDescription model;
    model.record._name.clear();
    model.record._type = 1;
    for (int t = 0; t < tables; ++t) {
        if (t % 10 == 0) {
            model.folders.emplace_back();
            model.folders.back().record._name = "F" + std::to_string(t / 10);
        }
        TableDescription table;
        table.record._name = "T" + std::to_string(t);
        table.record._displayName = "Table " + std::to_string(t);
        for (int c = 0; c < 10; ++c) {
            ColumnDescription column;
            column.record._name = "C" + std::to_string(c);
            column.record._dataType = kTypes[c];
            column.record._isIndex = c == 1 ? 1 : 0;
            if (c == 0 && t > 0) column.references = "T" + std::to_string(t - 1);
            table.columns.push_back(column);
        }
        model.folders.back().tables.push_back(table);
    }
    text = ModelFile::toYaml(model);
    return text;
}

std::uint64_t statements() {
    return MeridianNew::getCurrMRDConfigMDM()->getPSession()->statementCount();
}

M_EntityModelDAO newModel() {
    static int made = 0;
    M_EntityModelDAO model;
    model._name = "M" + std::to_string(++made);
    model._type = 1;
    must(benchProject().addEntityModel(&model));
    return model;
}

ApplyPlan applyFile(const M_EntityModelDAO& model, const std::string& text) {
    ModelDescription description;
    must(ModelFile::parse(text, description));
    ApplyPlan plan;
    must(ModelApply::apply(model, description, ApplyOptions(), plan));
    return plan;
}

void BM_ApplyToNewModel(benchmark::State& state) {
    const std::string& text = fileText(static_cast<int>(state.range(0)));
    std::uint64_t run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const M_EntityModelDAO model = newModel();
        const std::uint64_t before = statements();
        state.ResumeTiming();
        const ApplyPlan plan = applyFile(model, text);
        benchmark::DoNotOptimize(plan.changes.size());
        run += statements() - before;
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    // SQL statements on the configuration session per apply: each is a
    // round trip on a server.
    state.counters["statements"] = static_cast<double>(run) / state.iterations();
}

M_EntityModelDAO& appliedModel(int tables) {
    static M_EntityModelDAO model;
    if (model._ID < 1) {
        model = newModel();
        applyFile(model, fileText(tables));
    }
    return model;
}

void BM_ApplyUnchanged(benchmark::State& state) {
    const M_EntityModelDAO& model = appliedModel(static_cast<int>(state.range(0)));
    // The model's own file: every item has its key.
    ModelDescription exported;
    must(ModelExport::describe(model, 0, exported));
    const std::string text = ModelFile::toYaml(exported);
    const std::uint64_t before = statements();
    for (auto _ : state) {
        const ApplyPlan plan = applyFile(model, text);
        if (!plan.changes.empty()) throw std::runtime_error("an unchanged file changed the model");
    }
    state.counters["statements"] = static_cast<double>(statements() - before) / state.iterations();
}

void BM_Export(benchmark::State& state) {
    const M_EntityModelDAO& model = appliedModel(static_cast<int>(state.range(0)));
    const std::uint64_t before = statements();
    for (auto _ : state) {
        ModelDescription exported;
        must(ModelExport::describe(model, 0, exported));
        benchmark::DoNotOptimize(ModelFile::toYaml(exported).size());
    }
    state.counters["statements"] = static_cast<double>(statements() - before) / state.iterations();
}

// The largest hostile texts of each shape the reader takes in before it
// refuses them: 1 a one-line list of one-letter values up to the limit of
// separators, 2 one-line maps (JSON) up to that limit, 3 a block list up to
// the limit of values, 4 one value of the largest size.
std::string hostileText(long long shape) {
    std::string text;
    const std::size_t marks = ModelFile::kMaxFlowMarks, nodes = ModelFile::kMaxNodes;
    switch (shape) {
        case 1:
            text = "[x";
            for (std::size_t i = 1; i < marks; ++i)
                text += ",x";
            return text + "]";
        case 2:
            text = "[";
            for (std::size_t i = 0; i + 3 < marks; i += 3)
                text += "{\"name\": \"Column\", \"type\": \"int\"},";
            return text + "{}]";
        case 3:
            for (std::size_t i = 0; i + 1 < nodes; ++i)
                text += "- x\n";
            return text;
        default:
            return "name: " + std::string(ModelFile::kMaxBytes - 7, 'x');
    }
}

// Reads one hostile text once; the peak is that of the read alone.
int peakRun(long long shape) {
    const std::string text = hostileText(shape);
    const long before = arxbench::statusKB("VmHWM");
    ModelDescription model;
    const ResultMsg rm = ModelFile::parse(text, model);
    const long peak = arxbench::statusKB("VmHWM");
    std::printf(
        "shape %lld, %zu bytes (%s): resident before %ld kB, peak during the read %ld kB "
        "(+%ld kB)\n",
        shape, text.size(), StringHelper::GBKToUTF8(rm.rMsg).c_str(), before, peak, peak - before);
    return 0;
}

}  // namespace

BENCHMARK(BM_ApplyToNewModel)->Arg(150)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ApplyUnchanged)->Arg(150)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Export)->Arg(150)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    return arxbench::runBenchmarksOrPeak(argc, argv, peakRun);
}
