// Create Time:  <TIME>

#include "MeridianNew.h"
#include "DAO.h"
#include "OrderDAO.h"
#include "OrderMapper.h"
#include "ResultReturnCode.h"

using namespace std;
using namespace MeridianSpace;
MeridianSpace::OrderMapper::OrderMapper()
{
	_entityInnerName = "T_order_1";
}

MeridianSpace::OrderMapper::~OrderMapper()
{
}

int MeridianSpace::OrderMapper::doSave(ITableData & tableData, DAO * pdao)
{
	if (pdao == NULL)
		return RUN_FAIL;

	OrderDAO* p = dynamic_cast<OrderDAO*> (pdao);
	tableData._tableInnerName = _entityInnerName;

	tableData._colNum = 4;

	tableData._cloInnerName[0] = "MTitle_1";
	tableData._colType[0] = COL_TYPE_STRING;
	tableData._colValue[0] = p->_title;

	tableData._cloInnerName[1] = "MQty_1";
	tableData._colType[1] = COL_TYPE_INT;
	tableData._colValue[1] = StringHelper::int2String(p->_qty);

	tableData._cloInnerName[2] = "MPrice_1";
	tableData._colType[2] = COL_TYPE_DOUBLE;
	tableData._colValue[2] = StringHelper::doubleTostring(p->_price);

	tableData._cloInnerName[3] = "CName_1";
	tableData._colType[3] = COL_TYPE_STRING;
	tableData._colValue[3] = p->_name;

	return RUN_SUCCESS;
}

MeridianSpace::DAO* MeridianSpace::OrderMapper::doLoad(ITableData & qd)
{
	OrderDAO* pnewdao = new OrderDAO();

	pnewdao->_ID = StringHelper::string2int(qd.getColValue("id"));
	pnewdao->_title = qd.getColValue("MTitle_1");
	pnewdao->_qty = StringHelper::string2int(qd.getColValue("MQty_1"));
	pnewdao->_price = StringHelper::stringTodouble(qd.getColValue("MPrice_1"));
	pnewdao->_name = qd.getColValue("CName_1");

	return pnewdao;
}
