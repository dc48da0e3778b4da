#include <gtest/gtest.h>

#include <tuple>

#include "M_XMLTemplateDAO.h"
#include "dao/RecordFixture.h"

namespace arxtest {

class XMLTemplate : public RecordFixture {
protected:
    M_XMLTemplateDAO saved(const std::string& name, int modelID = 0, int isDeleted = 0) {
        M_XMLTemplateDAO t;
        t._name = name;
        t._content = "<t a='1'>it's 100%</t>" + name;
        t._createTime = "2024-01-02 03:04:05";
        t._projectID = project()._ID;
        t._modelID = modelID;
        t._isDeleted = isDeleted;
        t._isMain = 1 - isDeleted;
        EXPECT_TRUE(t.save().ok());
        return t;
    }
};

TEST_F(XMLTemplate, QuotesAndPercentSignsAreStoredAndMatchedAsGiven) {
    const M_XMLTemplateDAO quoted = saved("O'Brien");
    saved("50%");
    saved("500");
    std::unique_ptr<M_XMLTemplateDAO> loaded = findByID<M_XMLTemplateDAO>(quoted._ID);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->_content + loaded->_name + loaded->_createTime,
              quoted._content + quoted._name + quoted._createTime);
    // The caller's text goes between quotes as it is: "%" stays a wildcard.
    using Finder = ResultMsg (*)(std::string, std::list<M_XMLTemplateDAO*>&);
    const std::vector<std::tuple<Finder, std::string, Names>> cases = {
        {&M_XMLTemplateDAO::FindByName, "O'Brien", {"O'Brien"}},
        {&M_XMLTemplateDAO::FindByName, "50%", {"50%", "500"}},
        {&M_XMLTemplateDAO::FindByContent, quoted._content, {"O'Brien"}},
        {&M_XMLTemplateDAO::FindByCreateTime, "2024-01-02%", {"O'Brien", "50%", "500"}},
    };
    for (const auto& [finder, text, expected] : cases) {
        std::list<M_XMLTemplateDAO*> found;
        EXPECT_TRUE(finder(text, found).ok());
        EXPECT_EQ(namesOf(found), expected) << text;
    }
}

TEST_F(XMLTemplate, IntegerFindersAndDeletion) {
    M_EntityModelDAO m = model("M");
    saved("free");
    M_XMLTemplateDAO bound = saved("bound", m._ID, 1);
    using Finder = ResultMsg (*)(int, std::list<M_XMLTemplateDAO*>&);
    const std::vector<std::tuple<Finder, int, Names, Names>> cases = {
        {&M_XMLTemplateDAO::FindByModelID, 0, {"free"}, {"free"}},
        {&M_XMLTemplateDAO::FindByModelID, m._ID, {"bound"}, {}},
        {&M_XMLTemplateDAO::FindByProjectID, project()._ID, {"free", "bound"}, {"free"}},
        {&M_XMLTemplateDAO::FindByIsDeleted, 1, {"bound"}, {}},
        {&M_XMLTemplateDAO::FindByIsMain, 1, {"free"}, {"free"}},
    };
    // Before and after the bound template's row is deleted.
    for (int after = 0; after < 2; ++after) {
        ASSERT_TRUE(!after || bound.delself().ok());
        for (const auto& [finder, value, before, left] : cases) {
            std::list<M_XMLTemplateDAO*> found;
            EXPECT_TRUE(finder(value, found).ok());
            EXPECT_EQ(namesOf(found), after ? left : before) << value;
        }
    }
}

}  // namespace arxtest
