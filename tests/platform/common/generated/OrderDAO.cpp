// clang-format off
#include "OrderDAO.h"
#include "FolderHelper.h"
#include "ResultReturnCode.h"
#include "MeridianNew.h"
#include "OrderMapper.h"
#include "InstanceDataModel.h"
#include "DataManager.h"
#include "MRDSession.h"

#include "DataManager.h"
#include "MRDSession.h"
#include "LogManager.h"

MeridianSpace::OrderDAO::OrderDAO()
{
	_title = "";
	_qty = 0;
}

MeridianSpace::OrderDAO::~OrderDAO()
{

}

Mapper* MeridianSpace::OrderDAO::createMapper()
{
	return new OrderMapper;
}

DAO* MeridianSpace::OrderDAO::createObject()
{
	return new OrderDAO;
}

ResultMsg MeridianSpace::OrderDAO::saveData( double * pdata, int dataSize)
{
	MeridianNew::LOGGER()->appendMsg("开始执行：OrderDAO::saveData()" );
	ResultMsg rm;
	rm = MeridianNew::getCurrentWorkDBIDM()->updateIBlobTableData("T_order_1", "Data_1",pdata, dataSize, _ID);
	MeridianNew::LOGGER()->appendMsg("执行结束：OrderDAO::saveData()" );
	return rm;
}

ResultMsg MeridianSpace::OrderDAO::FindByQtyOrTitle( int mqty, string mtitle, list<OrderDAO*>& newlist)
{
	ResultMsg rm;
	DAOFinder dfinder;

	list<DAO*> daolist;

	vector<string> v_attrName, v_operation, v_attrValue;
	v_attrName.push_back("_qty");
	v_operation.push_back("= ");
	v_attrValue.push_back(StringHelper::int2String(mqty));

	v_attrName.push_back("_title");
	v_operation.push_back("like ");
	v_attrValue.push_back(mtitle);

	rm = dfinder.findByManyOrAttr("OrderDAO", v_attrName, v_operation, v_attrValue, daolist);

	for (auto pod : daolist)
	{
		newlist.push_back(dynamic_cast<OrderDAO*>(pod));
	}

	return rm;
}
ResultMsg MeridianSpace::OrderDAO::DelByQty( int mqty , int commitType /*= COMMIT_T_IMMEDIATELY*/)
{
	ResultMsg rm;
	Mapper* pmapper = NULL;
	pmapper = createMapper();
	if (pmapper == NULL)
	{
		rm.rMsg = "createMapper失败";
		rm.rCode = RUN_FAIL;
		return rm;
	}

	list< IQueryCondition> conList;
	IQueryCondition cond1;
	cond1.columnInnerName = "Qty_1";
	cond1.operation = "= ";
	cond1.columValue = StringHelper::int2String(mqty);
	conList.push_back(cond1);

	rm = getIDM()->deleteITableDataByCondition(pmapper->_entityInnerName, conList);

	if (commitType == COMMIT_T_IMMEDIATELY)
	{
		rm = getIDM()->getPSession()->commit();
	}

	if (rm.rCode != RUN_SUCCESS)
	{
		MeridianNew::LOGGER()->appendError(pmapper->_entityInnerName + "OrderDAO::DelByQty()", rm.rMsg);
	}

	delete pmapper;  // (the generated text leaves the mapper to leak; the test does not)
	return rm;
}
