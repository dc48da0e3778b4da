// Create Time:  <TIME>

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
	_title = "none";
	_qty = 0;
	_price = 1.5;
	_name = "";
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
	rm = MeridianNew::getCurrentWorkDBIDM()->updateIBlobTableData("T_order_1", "MData_1",pdata, dataSize, _ID);
	MeridianNew::LOGGER()->appendMsg("执行结束：OrderDAO::saveData()" );
	return rm;
}

ResultMsg MeridianSpace::OrderDAO::getData(double*& pdata, int& dataSize)
{
	MeridianNew::LOGGER()->appendMsg("开始执行：OrderDAO::getData() ");
	ResultMsg rm;
	rm = MeridianNew::getCurrentWorkDBIDM()->getIBlobTableData("T_order_1", "MData_1", _ID, pdata, dataSize);
	MeridianNew::LOGGER()->appendMsg("执行结束：OrderDAO::getData() ");
	return rm;
}


ResultMsg MeridianSpace::OrderDAO::savePhoto( char * pphoto, int dataSize)
{
	MeridianNew::LOGGER()->appendMsg("开始执行：OrderDAO::savePhoto()" );
	ResultMsg rm;
	rm = MeridianNew::getCurrentWorkDBIDM()->updateIBlobTableData("T_order_1", "MPhoto_1",(double *)pphoto, dataSize, _ID);
	MeridianNew::LOGGER()->appendMsg("执行结束：OrderDAO::savePhoto()" );
	return rm;
}

ResultMsg MeridianSpace::OrderDAO::getPhoto(char*& pphoto, int& dataSize)
{
	MeridianNew::LOGGER()->appendMsg("开始执行：OrderDAO::getPhoto() ");
	ResultMsg rm;
   double * ptemp = NULL;	rm = MeridianNew::getCurrentWorkDBIDM()->getIBlobTableData("T_order_1", "MPhoto_1", _ID,  ptemp, dataSize);
   if(ptemp!=NULL)
    pphoto = (char*) ptemp;
	MeridianNew::LOGGER()->appendMsg("执行结束：OrderDAO::getPhoto() ");
	return rm;
}


ResultMsg MeridianSpace::OrderDAO::FindByID(int id, OrderDAO * &pnewdao)
{
	ResultMsg rm;
	DAOFinder dfinder;
	DAO* pdao = NULL;

	rm = dfinder.findByID("OrderDAO", id, pdao);
	if (pdao != NULL)
	{
		pnewdao = dynamic_cast<OrderDAO*>(pdao);
	}

	return rm;
}
ResultMsg MeridianSpace::OrderDAO::FindAll(list<OrderDAO*>&newlist)
{
	ResultMsg rm;
	DAOFinder dfinder;
	list<DAO*> daolist;

	rm = dfinder.findAll("OrderDAO", daolist);

	for (auto pod : daolist)
	{
		newlist.push_back(dynamic_cast<OrderDAO*>(pod));
	}

	return rm;
}
ResultMsg MeridianSpace::OrderDAO::FindByTitle( string  title, list<OrderDAO*>&newlist)
{
	ResultMsg rm;
	DAOFinder dfinder;

	list<DAO*> daolist;

	rm = dfinder.findByOneAttr("OrderDAO", "_title", "  like  ", "'" + title + "'", daolist);

	for (auto pod : daolist)
	{
		newlist.push_back(dynamic_cast<OrderDAO*>(pod));
	}

	return rm;
}
ResultMsg MeridianSpace::OrderDAO::FindByQty( int  qty, list<OrderDAO*>&newlist)
{
	ResultMsg rm;
	DAOFinder dfinder;

	list<DAO*> daolist;

	rm = dfinder.findByOneAttr("OrderDAO", "_qty", "  =  ", StringHelper::int2String(qty), daolist);

	for (auto pod : daolist)
	{
		newlist.push_back(dynamic_cast<OrderDAO*>(pod));
	}

	return rm;
}
ResultMsg MeridianSpace::OrderDAO::FindByQtyAndTitle( int mqty, string mtitle, list<OrderDAO*>& newlist)
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

	rm = dfinder.findByManyAndAttr("OrderDAO", v_attrName, v_operation, v_attrValue, daolist);

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
	cond1.columnInnerName = "MQty_1";
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

	delete pmapper;
	return rm;
}
