// clang-format off
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

	tableData._colNum = 2;

	tableData._cloInnerName[0] = "Title_1";
	tableData._colType[0] = COL_TYPE_STRING;
	tableData._colValue[0] = p->_title;

	tableData._cloInnerName[1] = "Qty_1";
	tableData._colType[1] = COL_TYPE_INT;
	tableData._colValue[1] = StringHelper::int2String(p->_qty);

	return RUN_SUCCESS;
}

MeridianSpace::DAO* MeridianSpace::OrderMapper::doLoad(ITableData & qd)
{
	OrderDAO* pnewdao = new OrderDAO();

	pnewdao->_ID = StringHelper::string2int(qd.getColValue("id"));
	pnewdao->_title = qd.getColValue("Title_1");
	pnewdao->_qty = StringHelper::string2int(qd.getColValue("Qty_1"));

	return pnewdao;
}
