// Create Time:  <TIME>

#include "OrderDAO.h"
void Test_OrderDAO_<DATE>()
{
	MeridianNew myMeridian;
	string st = MeridianNew::getCurrPlatformStatus();
 
	ResultMsg rm;
 
	ProjectDAO projectToCreate;
	projectToCreate._folderPath = "D:\\TEST_Meridian\\项目kwt0524.11";
	projectToCreate._name = "测试项目xxx";
	projectToCreate._projectFileName = "项目xxx.vrzp";
	
	rm = projectToCreate.open();
	//rm = projectToCreate.create();
	
	if (rm.rCode != RUN_SUCCESS)
	{
		cout << "error!!" << endl;
	}

	OrderDAO p1;
	p1._title = "none";
	p1._qty = 0;
	p1._price = 1.5;
	p1._name = "";
	rm = p1.save();

	OrderDAO*  pFind = NULL;
	rm = OrderDAO::FindByID(p1._ID,pFind);
	DELETE_PRT(pFind)

	list<OrderDAO*>  pFindList;
	rm = OrderDAO::FindAll(pFindList);
	T_deletePtrList<OrderDAO>(pFindList);

	string  title = "none";
	list<OrderDAO*> newlist1;
	rm = OrderDAO::FindByTitle( title, newlist1);
	T_deletePtrList<OrderDAO>(newlist1);

	int  qty = 0;
	list<OrderDAO*> newlist2;
	rm = OrderDAO::FindByQty( qty, newlist2);
	T_deletePtrList<OrderDAO>(newlist2);

	int mqty7 = 0;
	string mtitle7 = "none";
	list<OrderDAO*> newlist7;
	rm = OrderDAO::FindByQtyAndTitle(mqty7,mtitle7, newlist7);
	T_deletePtrList<OrderDAO>(newlist7);

	int mqty8 = 0;
	OrderDAO  delter8;
	rm = delter8.DelByQty(mqty8);

	pFindList.clear();
	rm = OrderDAO::FindAll(pFindList);
	T_deletePtrList<OrderDAO>(pFindList);

	rm = p1.delself();

	pFindList.clear();
	rm = OrderDAO::FindAll(pFindList);
	T_deletePtrList<OrderDAO>(pFindList);

}
