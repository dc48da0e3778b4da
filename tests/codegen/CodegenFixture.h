#pragma once

// The representative model the generator's tests work on, and a way to read
// what the generator wrote with its time stamps masked.
#include <map>
#include <regex>
#include <string>

#include "M_DelByInterfaceDAO.h"
#include "M_FindByInterfaceDAO.h"
#include "dao/RecordFixture.h"

namespace arxtest {

class CodegenFixture : public RecordFixture {
protected:
    /// Model "ShopModel" with the root folder F_base (it generates a DAO
    /// class, _isGenerateDAO 1) holding the folder F_sales, which holds the
    /// table T_order: MTitle (text, default "none", find key), MQty
    /// (integer, find key), MPrice (real), MData (double blob), CName (text),
    /// MPhoto (char blob); the query definition FindByQtyAndTitle
    /// ("qty,=,and#title,like") and the delete definition DelByQty
    /// ("qty,="); _countType 0; white-box steps 1, 2, 4 to 8.
    void SetUp() override;

    /// The file's text with every time stamp "YYYY-MM-DD HH:MM:SS" and
    /// every date "YYYYMMDD" in a name replaced by <TIME> and <DATE>.
    static std::string masked(const std::string& text) {
        static const std::regex time("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
        static const std::regex date("_[0-9]{8}");
        return std::regex_replace(std::regex_replace(text, time, "<TIME>"), date, "_<DATE>");
    }

    M_EntityModelDAO shop;
    M_FolderDAO base, sales;
    M_EntityTableDAO order;
    std::map<std::string, int> ids;
};

}  // namespace arxtest
