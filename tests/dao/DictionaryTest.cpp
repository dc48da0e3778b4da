#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DAOFactoryRegistry.h"
#include "M_DictDataDAO.h"
#include "M_DictItemDAO.h"
#include "Mapper.h"
#include "dao/RecordFixture.h"

namespace arxtest {

class Dictionary : public RecordFixture {
protected:
    // On a fresh store the dictionaries are numbered 1, 2, 3 in saving order.
    M_DictItemDAO dict(const std::string& innerName) {
        M_DictItemDAO d;
        d._innerName = innerName;
        EXPECT_TRUE(d.save().ok());
        return d;
    }
    M_DictDataDAO entry(M_DictItemDAO& d, int code, const std::string& marker = "") {
        M_DictDataDAO e;
        e._code = code;
        e._default = marker;
        e._showName = d._innerName + std::to_string(code) + marker;
        ResultMsg rm = d.addDictData(&e);
        EXPECT_TRUE(rm.ok()) << utf8(rm.rMsg);
        return e;
    }
};

TEST_F(Dictionary, EntryInUseIsRefusedUntilItsUserChanges) {
    M_ProjectDAO& p = project();
    p._type = 7;
    M_EntityModelDAO m = model("M", 7);
    ASSERT_TRUE(p.save().ok());
    // Dictionary 3 lets an entry go whatever projects and models use.
    const Names refusals = {"ERROR: 该项目类型编码已经被使用，不能删除！",
                            "ERROR: 该数据模型类型编码已经被使用，不能删除！", ""};
    std::vector<M_DictItemDAO> dicts;
    std::vector<M_DictDataDAO> entries;
    for (size_t i = 0; i < refusals.size(); ++i) {
        dicts.push_back(dict("D" + std::to_string(i + 1)));
        ASSERT_EQ(dicts[i]._ID, static_cast<int>(i) + 1);
        entries.push_back(entry(dicts[i], 7));
    }
    for (size_t i = 0; i < refusals.size(); ++i) {
        ResultMsg rm = entries[i].delself();
        EXPECT_EQ(rm.rCode, refusals[i].empty() ? RUN_SUCCESS : RUN_FAIL) << i;
        EXPECT_EQ(rm.rMsg, refusals[i]) << utf8(rm.rMsg);
        EXPECT_EQ(stored<M_DictDataDAO>(entries[i]._ID), !refusals[i].empty()) << i;
    }
    // Deleting dictionary 2 takes its free entry and leaves the one in use.
    M_DictDataDAO unused = entry(dicts[1], 9);
    EXPECT_TRUE(dicts[1].delself().ok());
    EXPECT_FALSE(stored<M_DictItemDAO>(dicts[1]._ID) || stored<M_DictDataDAO>(unused._ID));
    p._type = m._type = 8;
    ASSERT_TRUE(p.save().ok() && m.save().ok());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(entries[i].delself().ok()) << i;
        EXPECT_FALSE(stored<M_DictDataDAO>(entries[i]._ID)) << i;
    }
}

TEST_F(Dictionary, CodeFinderLeavesOutOnlyTheExactDefaultMarker) {
    M_DictItemDAO d = dict("D"), other = dict("O");
    const struct {
        int code;
        Names markers, shown;
    } cases[] = {{5, {"TRUE", "true", "TRUE ", ""}, {"D5true", "D5TRUE ", "D5"}},
                 {6, {"TRUE", "TRUE"}, {}}};
    for (const auto& c : cases)
        for (const std::string& marker : c.markers)
            entry(d, c.code, marker);
    entry(other, 5);
    for (const auto& c : cases) {
        std::list<M_DictDataDAO*> found;
        testing::internal::CaptureStdout();
        ResultMsg rm = M_DictDataDAO::FindByRDictItemIDAndCode(d._ID, c.code, found);
        std::string trace;
        for (const std::string& marker : c.markers)
            trace += "\npnewdao->_default = " + marker + "\n\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(), trace);
        Names shown;
        for (const M_DictDataDAO* e : found)
            shown.push_back(e->_showName);
        T_deletePtrList(found);
        EXPECT_TRUE(rm.ok());
        EXPECT_EQ(shown, c.shown) << c.code;
    }
}

TEST(RecordRegistry, DictionaryAndTemplateClassesAreMadeByNameWithTheirColumns) {
    QmsRecordClasses::registerAll();
    // Class name, then its kind, table and columns (name/type) as one mapper row gives them.
    for (const auto& [className, layout] : std::map<std::string, std::string>{
             {"M_DictItemDAO", "4 T_M_DictItem_2 MDictName_2/2 MInnerName_2/2"},
             {"M_DictDataDAO",
              "4 T_M_DictData_2 MCode_2/1 MDefault_2/2 MInternalName_2/2 MRDictItemID_2/1 "
              "MShowName_2/2"},
             {"M_XMLTemplateDAO",
              "3 T_M_XMLTemplate_3 MName_3/2 MCreateTime_3/2 MContent_3/2 MProjectID_3/1 "
              "MModelID_3/1 MIsDeleted_3/1 MIsMain_3/1"}}) {
        std::unique_ptr<DAO> object(DAOFactoryRegistry::create(className));
        ASSERT_NE(object, nullptr) << className;
        EXPECT_EQ(DAOFactoryRegistry::classNameOf(*object), className);
        std::unique_ptr<Mapper> mapper(object->createMapper());
        ITableData row;
        ASSERT_EQ(mapper->doSave(row, object.get()), RUN_SUCCESS);
        std::string seen = std::to_string(object->_DAOType) + " " + row._tableInnerName;
        for (int i = 0; i < row._colNum; ++i)
            seen += " " + row._cloInnerName[i] + "/" + std::to_string(row._colType[i]);
        EXPECT_EQ(seen, layout);
    }
}

}  // namespace arxtest
